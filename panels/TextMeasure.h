// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QString;
class QWidget;

struct TextSize_t {
    int advance;
    int inkHeight; // what its letters cover, without the line spacing of the font
};

// The text's size in the widget's font. The panels measure the same few texts
// in the same few fonts; shaping them again for every panel would cost time,
// and leave the heap in pieces.
TextSize_t _MeasureText(const QWidget *widget, const QString &text);
