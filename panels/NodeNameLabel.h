// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A panel's name label. Its text also names the panel for assistive
// technology ("TERNIX36 Plug, Desk lamp"), so that two panels' "Switch"
// buttons can be told apart: a changed name is announced, an unchanged one
// costs a comparison.
class NodeNameLabel_t : public QLabel {
public:
    explicit NodeNameLabel_t(QWidget *panel);

    // Hides QLabel::setText, which the panels call for every report.
    void setText(const QString &name);
};
