// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColumnHint.h"

#include "panels/Contrast.h"

#include <QEvent>

namespace {
constexpr int MarginPixels = 24;
}

ColumnHint_t::ColumnHint_t(QWidget *viewport)
    : QLabel(viewport) {
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(MarginPixels);
    setGeometry(viewport->rect());
    viewport->installEventFilter(this);
    _FollowPalette();
    raise();
    show();
}

bool ColumnHint_t::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QLabel::eventFilter(watched, event);
}

void ColumnHint_t::changeEvent(QEvent *event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        _FollowPalette();
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
