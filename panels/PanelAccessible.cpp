// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelAccessible.h"

#include "panels/ItemView.h"

#include <QAccessibleWidget>

namespace {
QAccessibleInterface *_PanelInterface(const QString &, QObject *object) {
    auto *panel = dynamic_cast<ItemView_t *>(object);
    return panel ? new QAccessibleWidget(panel, QAccessible::Grouping) : nullptr;
}
} // namespace

void _InstallPanelAccessibility() {
    static bool installed = false;
    if (installed)
        return;
    QAccessible::installFactory(_PanelInterface);
    installed = true;
}
