// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPalette>

class QLabel;
class QWidget;

// The colours of one panel's texts.
//
// A report picks the colour of the title bar; its text is black or white,
// whichever reads better on it. Under a desktop palette whose window text
// would be hard to read on the panel's light background, the captions'
// midlight or a plain title bar, that text turns black or white too. What
// every panel shares is made once per colour and per desktop palette, never
// for one panel or one report.
class PanelPalette_t {
public:
    // A palette that sets the window brush to the given colour and the window
    // text to black or white, whichever reads better on it; set on the title
    // label it colours the title bar, and every other role follows the panel.
    static QPalette _TitlePalette(Qt::GlobalColor colour);

    // Shows one of the panel's title palettes on its title bar.
    void _ShowTitlePalette(QLabel *title, const QPalette &titlePalette);
    // A caption, whose text is read on the midlight it is filled with.
    void _AddCaption(QLabel *caption) { captions.append(caption); }
    // The window text of the panel, its captions and its title for the
    // desktop palette now in force.
    void _FollowDesktop(QWidget *panel, QLabel *title);

private:
    // The window text of the panel, its captions and a plain title bar under
    // one desktop palette, and whether each differs from what it inherits.
    struct DesktopText_t {
        QPalette onLight, onMidlight, onWindow;
        bool ownOnLight = false, ownOnMidlight = false, ownOnWindow = false;
    };

    static const DesktopText_t &_DesktopText(const QPalette &desktop);
    // The title palette with every other role taken from the desktop's.
    static const QPalette &_WholeTitlePalette(const QPalette &titlePalette);

    QList<QLabel *> captions;
    // Setting a palette, even the one already shown, makes Qt resolve and
    // pass it on to the label again: done only when the colour changes.
    const QPalette *shownTitlePalette = nullptr;
};
