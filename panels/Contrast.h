// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

// Contrast between two colours as the WCAG define it: (L1 + 0.05) / (L2 + 0.05)
// of their relative luminances, from 1 (alike) to 21 (black on white).
double _ContrastRatio(const QColor &a, const QColor &b);

// Text of at least this contrast is readable for most people.
constexpr double ReadableContrast = 4.5;

// `text` where it is readable on `background`; otherwise black or white,
// whichever stands out more from it.
QColor _ReadableOn(const QColor &text, const QColor &background);
