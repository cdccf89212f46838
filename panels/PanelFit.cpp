// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelFit.h"

#include "panels/PanelGrid.h"
#include "panels/TextMeasure.h"

#include <QAbstractButton>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>

namespace {
// A field keeps room for the largest interval, whatever the font.
const QString FieldSample = QStringLiteral("65535");
// QLineEdit's own room between its frame and its text, on either side.
constexpr int FieldTextMargin = 2;

// What the widget's text needs; zero where the grid alone decides.
QSize _TextNeed(QWidget *widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    const int frame = widget->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        QString text = button->text();
        if (text.contains(QLatin1Char('&')))
            text.remove(QLatin1Char('&'));
        return QSize(_MeasureText(widget, text).advance, metrics.height()) +
               QSize(2 * frame, 2 * frame);
    }
    if (auto *field = qobject_cast<QLineEdit *>(widget)) {
        const QMargins margins = field->textMargins();
        return QSize(_MeasureText(widget, FieldSample).advance + margins.left() + margins.right() +
                         2 * (frame + FieldTextMargin),
                     0);
    }
    return QSize();
}
} // namespace

QFont PanelFit_t::_ValueFont(const QLabel *label) {
    QFont font = label->font();
    font.setWeight(QFont::Bold);
    if (font.pointSize() > 0)
        font.setPointSize(font.pointSize() * 2);
    else
        font.setPixelSize(font.pixelSize() * 2);
    return font;
}

void PanelFit_t::_UseValueFont(const QList<QLabel *> &labels) {
    const QFont valueFont = _ValueFont(labels.first());
    for (QLabel *label : labels)
        label->setFont(valueFont);
    valueLabels.append(labels);
}

void PanelFit_t::_FixSize(QWidget *widget, QSize size) {
    if (size.height() > 0)
        widget->setFixedSize(size);
    else
        widget->setFixedWidth(size.width());
    fixedSizes.append({widget, size});
}

void PanelFit_t::_SetFittedText(QLabel *label, const QString &text, int width) {
    label->setText(text);
    // The label's size hint is at least its minimum width: measure it at its own.
    label->setFixedWidth(width);
    label->setFixedWidth(qMax(width, label->sizeHint().width()));
}

void PanelFit_t::_FitToFont(QWidget *panel, PanelGrid_t *grid, const QLabel *title,
                            int kindHeight) {
    if (!valueLabels.isEmpty()) {
        const QFont valueFont = _ValueFont(title);
        for (QLabel *label : std::as_const(valueLabels))
            if (label->font() != valueFont)
                label->setFont(valueFont);
    }
    for (const FixedSize_t &fixed : std::as_const(fixedSizes)) {
        if (auto *label = qobject_cast<QLabel *>(fixed.widget)) {
            _SetFittedText(label, label->text(), fixed.least.width());
            continue;
        }
        const QSize size = fixed.least.expandedTo(_TextNeed(fixed.widget));
        fixed.widget->setFixedWidth(size.width());
        if (fixed.least.height() > 0)
            fixed.widget->setFixedHeight(size.height());
    }

    // At the height that the panel's kind has, the grid shares out the rows
    // as it can, as it does at the default font. Only when a row could not
    // hold its letters does the panel grow, so that every row holds its whole
    // lines and its fixed widgets.
    int height = kindHeight;
    if (grid->_Height(false) > height)
        height = qMax(height, grid->_Height(true));
    if (height != panel->minimumHeight()) {
        grid->invalidate(); // so that the column measures this panel again
        panel->setFixedHeight(height);
    }
}
