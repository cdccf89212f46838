// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A panel's name label. It also names the panel for assistive technology:
// "TERNIX36 Plug, Desk lamp", or the node's address while no name is known
// (and for the blinds, which send none), so that two panels' "Switch"
// buttons can be told apart. The panel's name changes only with the text.
class NodeNameLabel_t : public QLabel {
public:
    NodeNameLabel_t(QWidget *panel, const QString &title, const QString &address);

    // Hides QLabel::setText, which the panels call for every report.
    void setText(const QString &name);

private:
    void _NamePanel();

    QWidget *panel;
    QString title;
    QString address;
};
