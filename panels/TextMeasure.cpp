// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/TextMeasure.h"

#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <QString>
#include <QWidget>

TextSize_t _MeasureText(const QWidget *widget, const QString &text) {
    struct Known_t {
        QFont font;
        int dpi;
        QString text;
        TextSize_t size;
    };
    static QList<Known_t> known;
    const QFont font = widget->font();
    const int dpi = widget->logicalDpiY();
    for (const Known_t &entry : std::as_const(known))
        if (entry.dpi == dpi && entry.text == text && entry.font == font)
            return entry.size;
    if (known.size() >= 64) // fonts changed many times: start again
        known.clear();
    const QFontMetrics metrics = widget->fontMetrics();
    const TextSize_t size{metrics.horizontalAdvance(text),
                          metrics.tightBoundingRect(text).height()};
    known.append({font, dpi, text, size});
    return size;
}
