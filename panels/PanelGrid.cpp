// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelGrid.h"

#include "panels/PanelColumn.h"
#include "panels/TextMeasure.h"

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace {
// Letters from the top of an "l" to the foot of a "g": what a row must hold
// for its text to lose none of them.
const QString InkSample = QStringLiteral("lg0");

// What a widget asks of the rows it stands in.
int _RowNeed(const QWidget *widget, bool wholeLines) {
    const bool fixedHeight = widget->minimumHeight() == widget->maximumHeight();
    if (fixedHeight)
        return wholeLines ? widget->minimumHeight() : 0;
    if (qobject_cast<const QLabel *>(widget) || qobject_cast<const QLineEdit *>(widget))
        return wholeLines ? widget->fontMetrics().height()
                          : _MeasureText(widget, InkSample).inkHeight;
    return wholeLines ? widget->minimumSizeHint().height() : 0;
}
} // namespace

void PanelGrid_t::invalidate() {
    QGridLayout::invalidate();
    QWidget *panel = parentWidget();
    QWidget *container = panel ? panel->parentWidget() : nullptr;
    if (auto *column = container ? qobject_cast<PanelColumn_t *>(container->layout()) : nullptr)
        column->_PanelChanging(panel);
}

QList<PanelGrid_t::ItemSize_t> PanelGrid_t::_ItemSizes() const {
    QList<ItemSize_t> sizes;
    sizes.reserve(count());
    for (int i = 0; i < count(); ++i) {
        const QLayoutItem *item = itemAt(i);
        sizes.append({item->sizeHint(), item->minimumSize(), item->maximumSize(), item->isEmpty()});
    }
    return sizes;
}

void PanelGrid_t::setGeometry(const QRect &rect) {
    // The grid's spacing and margins are the style's and fixed; its children's
    // sizes and its own rectangle decide where everything goes.
    QList<ItemSize_t> sizes = _ItemSizes();
    if (rect == placedIn && sizes == placedSizes) {
        QLayout::setGeometry(rect);
        return;
    }
    QGridLayout::setGeometry(rect);
    placedIn = rect;
    placedSizes = std::move(sizes);
}

int PanelGrid_t::_Height(bool wholeLines) const {
    const int rows = rowCount();
    const int spacing = qMax(0, verticalSpacing());
    QList<int> heights(rows, 0);
    QList<bool> used(rows, false);
    struct Spanning_t {
        int row, span, need;
    };
    QList<Spanning_t> spanning;
    for (int i = 0; i < count(); ++i) {
        const QWidget *widget = itemAt(i)->widget();
        if (!widget)
            continue;
        int row, column, rowSpan, columnSpan;
        getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        for (int r = row; r < row + rowSpan; ++r)
            used[r] = true;
        const int need = _RowNeed(widget, wholeLines);
        if (rowSpan == 1)
            heights[row] = qMax(heights[row], need);
        else
            spanning.append({row, rowSpan, need});
    }
    // A widget over several rows takes what they lack from the last of them.
    for (const Spanning_t &item : std::as_const(spanning)) {
        int have = spacing * (item.span - 1);
        for (int r = item.row; r < item.row + item.span; ++r)
            have += heights[r];
        if (have < item.need)
            heights[item.row + item.span - 1] += item.need - have;
    }
    int height = 0;
    int usedRows = 0;
    for (int r = 0; r < rows; ++r) {
        height += heights[r];
        usedRows += used[r] ? 1 : 0;
    }
    QMargins margins = contentsMargins();
    if (const QWidget *panel = parentWidget())
        margins += panel->contentsMargins();
    return height + spacing * qMax(0, usedRows - 1) + margins.top() + margins.bottom();
}
