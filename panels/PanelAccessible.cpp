// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelAccessible.h"

#include "panels/ItemView.h"
#include "panels/LivenessText.h"
#include "protocol/Clock.h"

namespace {

QAccessibleInterface *_PanelInterface(const QString &, QObject *object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    if (auto *panel = dynamic_cast<ItemView_t *>(object))
        return new PanelAccessible_t(panel);
    return nullptr;
}

} // namespace

PanelAccessible_t::PanelAccessible_t(ItemView_t *panel)
    : QAccessibleWidget(panel, QAccessible::Grouping) {
}

QString PanelAccessible_t::text(QAccessible::Text t) const {
    const auto *panel = static_cast<const ItemView_t *>(widget());
    if (t == QAccessible::Name)
        return panel->accessibleName().isEmpty() ? panel->_AccessibleName()
                                                 : panel->accessibleName();
    if (t != QAccessible::Description)
        return QAccessibleWidget::text(t);
    const QString liveness =
        _LivenessText(panel->_Liveness(), _Now(), LivenessTextForm_t::Description);
    const QString own = QAccessibleWidget::text(t);
    if (own.isEmpty() || liveness.isEmpty())
        return own.isEmpty() ? liveness : own;
    return own + QLatin1Char(' ') + liveness;
}

void PanelAccessible_t::_Install() {
    static bool installed = false;
    if (installed)
        return;
    QAccessible::installFactory(&_PanelInterface);
    installed = true;
}
