// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelMark.h"

#include <QEvent>
#include <QIcon>
#include <QStyle>

PanelMark_t::PanelMark_t(QWidget *panel, QWidget *column, QWidget *title, QWidget *lastRow)
    : QLabel(panel)
    , column(column)
    , title(title)
    , lastRow(lastRow) {
    setAlignment(Qt::AlignCenter);
    // The palette's own highlight: legible wherever its highlighted text is.
    setBackgroundRole(QPalette::Highlight);
    panel->installEventFilter(this);
    hide();
}

void PanelMark_t::_ShowNotAnswering(bool now) {
    notAnswering = now;
    _Update();
}

void PanelMark_t::_ShowFound(bool now) {
    found = now;
    _Update();
}

void PanelMark_t::_Update() {
    if (notAnswering) {
        const int side = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
        setPixmap(style()
                      ->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                      .pixmap(QSize(side, side), devicePixelRatioF()));
    } else {
        clear();
    }
    setAutoFillBackground(found);
    _Place();
    setVisible(notAnswering || found);
    if (isVisible())
        raise();
}

void PanelMark_t::_Place() {
    const int top = title->geometry().bottom() + 1;
    const int bottom = qMax(lastRow->geometry().bottom(), top);
    setGeometry(column->x(), top, column->width(), bottom - top + 1);
}

bool PanelMark_t::eventFilter(QObject *watched, QEvent *event) {
    // The panel's grid places the column again after a resize or a new font.
    if (watched == parent() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        _Place();
    return QLabel::eventFilter(watched, event);
}
