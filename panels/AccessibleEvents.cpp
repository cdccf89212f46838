// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/AccessibleEvents.h"

#include <QAccessible>
#include <QWidget>

namespace {
void _Post(QWidget *panel, QAccessible::Event type) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(panel, type);
    QAccessible::updateAccessibility(&event);
}
} // namespace

namespace AccessibleEvents {

void _DescriptionChanged(QWidget *panel) {
    _Post(panel, QAccessible::DescriptionChanged);
}

void _NameChanged(QWidget *panel) {
    _Post(panel, QAccessible::NameChanged);
}

} // namespace AccessibleEvents
