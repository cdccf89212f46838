// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/Contrast.h"

#include <QtMath>

namespace {
double _Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : qPow((channel + 0.055) / 1.055, 2.4);
}

double _Luminance(const QColor &colour) {
    return 0.2126 * _Linear(colour.redF()) + 0.7152 * _Linear(colour.greenF()) +
           0.0722 * _Linear(colour.blueF());
}
} // namespace

double _ContrastRatio(const QColor &a, const QColor &b) {
    const double la = _Luminance(a);
    const double lb = _Luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor _ReadableOn(const QColor &text, const QColor &background) {
    if (_ContrastRatio(text, background) >= ReadableContrast)
        return text;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return _ContrastRatio(black, background) >= _ContrastRatio(white, background) ? black : white;
}
