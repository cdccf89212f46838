// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/NodeNameLabel.h"

NodeNameLabel_t::NodeNameLabel_t(QWidget *panel, const QString &title, const QString &address)
    : panel(panel)
    , title(title)
    , address(address) {
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    _NamePanel();
}

void NodeNameLabel_t::setText(const QString &name) {
    if (name == text())
        return;
    QLabel::setText(name);
    _NamePanel();
}

void NodeNameLabel_t::_NamePanel() {
    panel->setAccessibleName(title + QStringLiteral(", ") + (text().isEmpty() ? address : text()));
}
