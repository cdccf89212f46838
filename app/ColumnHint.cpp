// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColumnHint.h"

#include "panels/Contrast.h"

#include <QEvent>
#include <QScrollArea>

namespace {
constexpr int MarginPixels = 12;
}

ColumnHint_t::ColumnHint_t(QScrollArea *scrollArea)
    : QLabel(scrollArea->viewport())
    , scrollArea(scrollArea) {
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(MarginPixels);
    setGeometry(parentWidget()->rect());
    parentWidget()->installEventFilter(this);
    _FollowPalette();
    raise();
    show();
}

// The scroll area takes the least height it had before: none of its own.
ColumnHint_t::~ColumnHint_t() {
    scrollArea->setMinimumHeight(0);
}

void ColumnHint_t::_Say(const QString &text) {
    setText(text);
    _FitHeight();
}

bool ColumnHint_t::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parentWidget() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        setGeometry(parentWidget()->rect());
        _FitHeight();
    }
    return QLabel::eventFilter(watched, event);
}

void ColumnHint_t::changeEvent(QEvent *event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        _FollowPalette();
    else if (event->type() == QEvent::FontChange)
        _FitHeight();
}

// A window no taller than Qt makes it for an empty column would cut the
// wrapped lines off. Worked out once the viewport has its width, which
// before it is shown is Qt's small default.
void ColumnHint_t::_FitHeight() {
    if (!parentWidget()->isVisible())
        return;
    const int frame = scrollArea->height() - parentWidget()->height();
    scrollArea->setMinimumHeight(heightForWidth(parentWidget()->width()) + frame);
}

// Worked out from the column's palette, not the label's own, so that setting
// the label's text colour settles at once.
void ColumnHint_t::_FollowPalette() {
    const QPalette column = parentWidget()->palette();
    const QColor readable =
        _ReadableOn(column.color(QPalette::WindowText), column.color(QPalette::Window));
    if (palette().color(QPalette::WindowText) == readable)
        return;
    QPalette own = palette();
    own.setColor(QPalette::WindowText, readable);
    setPalette(own);
}
