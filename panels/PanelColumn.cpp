// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelColumn.h"

#include <QApplication>
#include <QStyle>
#include <QWidget>

#include <tuple>
#include <utility>

bool PanelColumn_t::Entry_t::operator==(const Entry_t &other) const {
    return std::tie(item, shown, height, hintWidth, minimumWidth, maximumWidth, expanding) ==
           std::tie(other.item, other.shown, other.height, other.hintWidth, other.minimumWidth,
                    other.maximumWidth, other.expanding);
}

PanelColumn_t::PanelColumn_t() {
    showing.setSingleShot(true);
    connect(&showing, &QTimer::timeout, this, &PanelColumn_t::_ShowAppended);
}

void PanelColumn_t::_Append(QWidget *panel) {
    QWidget *container = parentWidget();
    if (!container || !container->isVisible()) {
        addWidget(panel);
        return;
    }
    // Kept from the show Qt would queue for each panel on its own.
    panel->hide();
    addWidget(panel);
    toShow.append(panel);
    if (!showing.isActive() && showingNow.isEmpty())
        _ShowNextBatch();
}

void PanelColumn_t::_ShowNextBatch() {
    const qint64 since = batchStarted.isValid() ? batchStarted.elapsed() : ShowingIntervalMs;
    showing.start(int(qBound(qint64(0), ShowingIntervalMs - since, qint64(ShowingIntervalMs))));
}

void PanelColumn_t::_ShowAppended() {
    if (showingNow.isEmpty()) {
        showingNow = std::exchange(toShow, {});
        batchStarted.start();
    }
    QElapsedTimer slice;
    slice.start();
    // Disabled, the column is not placed as each panel appears; once enabled,
    // it places them all at once.
    setEnabled(false);
    qsizetype shown = 0;
    while (shown < showingNow.size() && slice.elapsed() < ShowingSliceMs) {
        const QPointer<QWidget> &panel = showingNow[shown++];
        if (panel && panelIndex.contains(panel))
            panel->show();
    }
    setEnabled(true);
    activate();
    showingNow.remove(0, shown);
    if (!showingNow.isEmpty())
        showing.start(0);
    else if (!toShow.isEmpty())
        _ShowNextBatch();
}

void PanelColumn_t::_PanelChanging(QWidget *panel) {
    changing.insert(panel);
}

PanelColumn_t::Entry_t PanelColumn_t::_Measure(QLayoutItem *item, const Entry_t *before) const {
    Entry_t entry;
    entry.item = item;
    entry.shown = !item->isEmpty();
    if (entry.shown) {
        const QSize hint = item->sizeHint();
        const QSize minimum = item->minimumSize();
        const QSize maximum = item->maximumSize();
        entry.height = qBound(minimum.height(), hint.height(), maximum.height());
        entry.hintWidth = hint.width();
        entry.minimumWidth = minimum.width();
        entry.maximumWidth = maximum.width();
        // Which way a panel may grow depends on its widgets' size policies,
        // which never change: it is asked for only when the panel appears.
        entry.expanding = before && before->shown ? before->expanding : item->expandingDirections();
    }
    return entry;
}

void PanelColumn_t::_Count(const Entry_t &entry, int sign) {
    if (!entry.shown)
        return;
    if (sign > 0) {
        hintWidths.insert(entry.hintWidth);
        minimumWidths.insert(entry.minimumWidth);
        maximumWidths.insert(entry.maximumWidth);
    } else {
        hintWidths.erase(hintWidths.find(entry.hintWidth));
        minimumWidths.erase(minimumWidths.find(entry.minimumWidth));
        maximumWidths.erase(maximumWidths.find(entry.maximumWidth));
    }
    shownCount += sign;
    shownHeights += sign * entry.height;
    horizontalExpanding += entry.expanding.testFlag(Qt::Horizontal) ? sign : 0;
    verticalExpanding += entry.expanding.testFlag(Qt::Vertical) ? sign : 0;
}

void PanelColumn_t::_Update(int index) {
    Entry_t &entry = entries[index];
    Entry_t now = _Measure(entry.item, &entry);
    if (now == entry)
        return;
    if (now.shown != entry.shown || now.height != entry.height) {
        firstUnstacked = qMin(firstUnstacked, index);
        firstUnplaced = qMin(firstUnplaced, index);
    }
    _Count(entry, -1);
    _Count(now, +1);
    now.top = entry.top;
    entry = now;
}

void PanelColumn_t::_Rebuild() {
    entries.clear();
    panelIndex.clear();
    hintWidths.clear();
    minimumWidths.clear();
    maximumWidths.clear();
    shownCount = shownHeights = horizontalExpanding = verticalExpanding = 0;
    firstUnstacked = firstUnplaced = 0;
}

void PanelColumn_t::_Stack() {
    int top = 0;
    for (int i = firstUnstacked - 1; i >= 0; --i) {
        if (entries[i].shown) {
            top = entries[i].top + entries[i].height + gap;
            break;
        }
    }
    for (int i = firstUnstacked; i < entries.size(); ++i) {
        entries[i].top = top;
        if (entries[i].shown)
            top += entries[i].height + gap;
    }
    firstUnstacked = int(entries.size());
}

int PanelColumn_t::_Gap() const {
    if (spacing() >= 0)
        return spacing();
    // A style without one spacing for all has one per pair of control types;
    // panels are all of one type.
    QWidget *container = parentWidget();
    const QStyle *style = container ? container->style() : QApplication::style();
    return qMax(0, style->combinedLayoutSpacing(QSizePolicy::DefaultType, QSizePolicy::DefaultType,
                                                Qt::Vertical, nullptr, container));
}

int PanelColumn_t::_StackHeight() const {
    return shownHeights + gap * qMax(0, shownCount - 1);
}

bool PanelColumn_t::_Refresh() {
    const auto size = [this] {
        return std::make_tuple(sizeHint(), minimumSize(), maximumSize(), expandingDirections());
    };
    const auto before = size();

    const QMargins nowMargins = contentsMargins();
    const int nowGap = _Gap();
    if (nowMargins != margins || nowGap != gap) {
        margins = nowMargins;
        gap = nowGap;
        firstUnstacked = firstUnplaced = 0;
    }

    // Panels are only ever appended; anything else is taken from scratch.
    const int known = int(entries.size());
    if (count() < known || (known > 0 && itemAt(known - 1) != entries.last().item)) {
        _Rebuild();
        changing.clear();
    }
    for (int i = int(entries.size()); i < count(); ++i) {
        entries.append(_Measure(itemAt(i)));
        _Count(entries.last(), +1);
        if (QWidget *widget = itemAt(i)->widget())
            panelIndex.insert(widget, i);
        firstUnstacked = qMin(firstUnstacked, i);
        firstUnplaced = qMin(firstUnplaced, i);
    }

    for (QWidget *panel : std::as_const(changing)) {
        const int index = panelIndex.value(panel, -1);
        if (index >= 0)
            _Update(index);
    }
    changing.clear();

    if (firstUnstacked < entries.size())
        _Stack();
    return firstUnplaced < entries.size() || size() != before;
}

void PanelColumn_t::invalidate() {
    // Only a change that moves a panel or resizes the column concerns the
    // window; anything else stays within the panel that changed.
    if (_Refresh())
        QVBoxLayout::invalidate();
}

QSize PanelColumn_t::_WithMargins(const QSize &content) const {
    return content + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize PanelColumn_t::_MinimumContent() const {
    return QSize(minimumWidths.empty() ? 0 : *minimumWidths.rbegin(), _StackHeight());
}

QSize PanelColumn_t::sizeHint() const {
    const QSize hint(hintWidths.empty() ? 0 : *hintWidths.rbegin(), _StackHeight());
    return _WithMargins(hint.expandedTo(_MinimumContent()));
}

QSize PanelColumn_t::minimumSize() const {
    return _WithMargins(_MinimumContent());
}

QSize PanelColumn_t::maximumSize() const {
    const QSize maximum(maximumWidths.empty() ? QLAYOUTSIZE_MAX : *maximumWidths.begin(),
                        _StackHeight());
    return _WithMargins(maximum.expandedTo(_MinimumContent()))
        .boundedTo(QSize(QLAYOUTSIZE_MAX, QLAYOUTSIZE_MAX));
}

Qt::Orientations PanelColumn_t::expandingDirections() const {
    Qt::Orientations directions;
    directions.setFlag(Qt::Horizontal, horizontalExpanding > 0);
    directions.setFlag(Qt::Vertical, verticalExpanding > 0);
    return directions;
}

void PanelColumn_t::setGeometry(const QRect &rect) {
    QLayout::setGeometry(rect);
    const QRect contents = rect.marginsRemoved(margins);
    if (contents.topLeft() != placedIn.topLeft() || contents.width() != placedIn.width())
        firstUnplaced = 0;
    placedIn = contents;
    for (int i = firstUnplaced; i < entries.size(); ++i) {
        const Entry_t &entry = entries[i];
        if (entry.shown)
            entry.item->setGeometry(
                QRect(contents.x(), contents.y() + entry.top, contents.width(), entry.height));
    }
    firstUnplaced = int(entries.size());
}
