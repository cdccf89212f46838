// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/NodeNameLabel.h"

#include "panels/AccessibleEvents.h"

NodeNameLabel_t::NodeNameLabel_t(QWidget *panel)
    : QLabel(panel) {
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

void NodeNameLabel_t::setText(const QString &name) {
    if (name == text())
        return;
    QLabel::setText(name);
    AccessibleEvents::_NameChanged(parentWidget());
}
