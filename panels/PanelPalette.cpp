// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelPalette.h"

#include "panels/Contrast.h"

#include <QApplication>
#include <QBrush>
#include <QHash>
#include <QLabel>

namespace {
constexpr QPalette::ColorGroup Groups[] = {QPalette::Active, QPalette::Inactive,
                                           QPalette::Disabled};
// The groups whose text must be read. Disabled text is meant to stand back,
// and keeps the desktop's colour.
constexpr QPalette::ColorGroup ReadGroups[] = {QPalette::Active, QPalette::Inactive};

void _SetOwnWindowText(QWidget *widget, const QPalette &colours) {
    bool same = true;
    for (QPalette::ColorGroup group : ReadGroups)
        same = same && widget->palette().color(group, QPalette::WindowText) ==
                           colours.color(group, QPalette::WindowText);
    if (!same)
        widget->setPalette(colours);
}
} // namespace

QPalette PanelPalette_t::_TitlePalette(Qt::GlobalColor colour) {
    // It sets nothing else, so one per colour, implicitly shared, serves
    // every panel; the desktop's palette gives the rest when it is shown.
    static QHash<int, QPalette> made;
    const auto found = made.constFind(colour);
    if (found != made.constEnd())
        return *found;

    QPalette titlePalette;
    const QColor bar(colour);
    const QBrush brush(bar, Qt::SolidPattern);
    const QBrush text(_ReadableOn(Qt::black, bar));
    for (QPalette::ColorGroup group : Groups) {
        titlePalette.setBrush(group, QPalette::Window, brush);
        titlePalette.setBrush(group, QPalette::WindowText, text);
    }
    made.insert(colour, titlePalette);
    return titlePalette;
}

const QPalette &PanelPalette_t::_WholeTitlePalette(const QPalette &titlePalette) {
    // Every role set: a label given such a palette shares it with every other
    // title of that colour, where one that sets two roles would resolve a
    // palette of its own. The rest comes from the desktop's palette, and is
    // made again when that changes.
    static qint64 desktopKey = 0;
    static QHash<qint64, QPalette> made;
    const QPalette desktop = QApplication::palette("QLabel");
    if (desktop.cacheKey() != desktopKey) {
        made.clear();
        desktopKey = desktop.cacheKey();
    }
    auto found = made.find(titlePalette.cacheKey());
    if (found == made.end()) {
        QPalette whole = titlePalette.resolve(desktop);
        for (int role = 0; role < QPalette::NColorRoles; ++role)
            for (QPalette::ColorGroup group : Groups)
                whole.setBrush(group, QPalette::ColorRole(role),
                               whole.brush(group, QPalette::ColorRole(role)));
        found = made.insert(titlePalette.cacheKey(), whole);
    }
    return *found;
}

void PanelPalette_t::_ShowTitlePalette(QLabel *title, const QPalette &titlePalette) {
    if (&titlePalette == shownTitlePalette)
        return;
    title->setPalette(_WholeTitlePalette(titlePalette));
    shownTitlePalette = &titlePalette;
}

void PanelPalette_t::_FollowDesktop(QWidget *panel, QLabel *title) {
    // The window text that the desktop gives the panel, before any of its own.
    const QPalette desktop =
        panel->parentWidget() ? panel->parentWidget()->palette() : QApplication::palette(panel);
    const DesktopText_t &text = _DesktopText(desktop);
    // Set only where the desktop's own text does not do: under a palette that
    // reads well nothing is set, and everything follows the desktop as before.
    const auto follow = [](QWidget *widget, const QPalette &colours, bool own) {
        if (own)
            _SetOwnWindowText(widget, colours);
        else if (widget->testAttribute(Qt::WA_SetPalette))
            widget->setPalette(QPalette());
    };
    follow(panel, text.onLight, text.ownOnLight);
    for (QLabel *caption : std::as_const(captions))
        follow(caption, text.onMidlight, text.ownOnMidlight);
    // A title bar of the default window colour; the coloured ones bring their
    // text, and the rest of their palette follows the desktop's.
    if (!shownTitlePalette)
        follow(title, text.onWindow, text.ownOnWindow);
    else // Qt leaves an unchanged palette alone
        title->setPalette(_WholeTitlePalette(*shownTitlePalette));
}

const PanelPalette_t::DesktopText_t &PanelPalette_t::_DesktopText(const QPalette &desktop) {
    // Worked out once for all panels under one palette: a palette made for
    // every panel, and dropped, would leave the heap in pieces.
    static qint64 desktopKey = 0;
    static DesktopText_t text;
    if (desktop.cacheKey() == desktopKey)
        return text;
    desktopKey = desktop.cacheKey();
    text = DesktopText_t();
    for (QPalette::ColorGroup group : ReadGroups) {
        const QColor own = desktop.color(group, QPalette::WindowText);
        text.onLight.setColor(group, QPalette::WindowText,
                              _ReadableOn(own, desktop.color(group, QPalette::Light)));
        text.onMidlight.setColor(group, QPalette::WindowText,
                                 _ReadableOn(own, desktop.color(group, QPalette::Midlight)));
        text.onWindow.setColor(group, QPalette::WindowText,
                               _ReadableOn(own, desktop.color(group, QPalette::Window)));
    }
    const auto differs = [](const QPalette &colours, const QPalette &natural) {
        bool differs = false;
        for (QPalette::ColorGroup group : ReadGroups)
            differs = differs || colours.color(group, QPalette::WindowText) !=
                                     natural.color(group, QPalette::WindowText);
        return differs;
    };
    text.ownOnLight = differs(text.onLight, desktop);
    text.ownOnMidlight = differs(text.onMidlight, text.onLight);
    text.ownOnWindow = differs(text.onWindow, text.onLight);
    return text;
}
