// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSize>

class PanelGrid_t;
class QFont;
class QLabel;
class QString;
class QWidget;

// How one panel follows the desktop font.
//
// Its widgets' fixed sizes are those of the default font. At a larger desktop
// font, or a larger scale, they are least sizes: a widget whose text needs
// more grows, and so does the panel's height when its rows need it.
class PanelFit_t {
public:
    // Bold at twice the label's point size: the font of the big values.
    static QFont _ValueFont(const QLabel *label);
    // Gives the labels the value font, now and whenever the font changes.
    void _UseValueFont(const QList<QLabel *> &labels);
    // Fixes the widget's size (a zero height leaves the height free) at the
    // default font; at a larger font it is the least size the widget takes.
    void _FixSize(QWidget *widget, QSize size);
    // Sets the text of a value label of the given fixed width. A text wider
    // than that widens the label instead: centred and clipped, it would lose
    // its first digit or its sign and show another number.
    static void _SetFittedText(QLabel *label, const QString &text, int width);
    // Sizes for the font and style now in force. `title` keeps the font a
    // fresh label has; `kindHeight` is the panel's height at the default font.
    void _FitToFont(QWidget *panel, PanelGrid_t *grid, const QLabel *title, int kindHeight);

private:
    struct FixedSize_t {
        QWidget *widget;
        QSize least;
    };

    QList<FixedSize_t> fixedSizes;
    QList<QLabel *> valueLabels;
};
