// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelAccessible.h"

#include "protocol/Clock.h"
#include "panels/ItemView.h"
#include "panels/LivenessText.h"

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
        _LivenessText(panel->_Liveness(), pClockMs(), LivenessTextForm_t::Description);
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

void PanelAccessible_t::_DescriptionChanged(ItemView_t *panel) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(panel, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

// Even unheard, an event would make and keep an accessible object for every
// panel: both are posted only while assistive technology listens.
void PanelAccessible_t::_NameChanged(QWidget *panel) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(panel, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}
