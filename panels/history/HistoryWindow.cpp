// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryWindow.h"

#include "panels/Contrast.h"
#include "panels/history/HistoryChart.h"
#include "panels/history/HistoryTableModel.h"
#include "protocol/NodeHistory.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QString _Tr(const char *text) {
    return QCoreApplication::translate("History", text);
}

// The charts' ranges: the axis ends at now rounded up to `roundMs`, so that
// its labels fall on round times.
struct Range_t {
    const char *text;
    qint64 spanMs;
    qint64 roundMs;
    int ticks;
};
constexpr qint64 MinuteMs = NodeHistory_t::MinuteMs;
constexpr Range_t Ranges[] = {
    {QT_TRANSLATE_NOOP("History", "10 min"), NodeHistory_t::FullMs, 2 * MinuteMs, 6},
    {QT_TRANSLATE_NOOP("History", "1 h"), NodeHistory_t::MinutesMs, 10 * MinuteMs, 7},
    {QT_TRANSLATE_NOOP("History", "24 h"), NodeHistory_t::KeptMs, 60 * MinuteMs, 7},
};

constexpr int RefreshDelayMs = 200;

int _WaitingCommands(const NodeHistory_t &history) {
    int waiting = 0;
    for (qsizetype i = history._Commands().size() - 1;
         i >= 0 && history._Commands().at(i).answerMs == NodeHistory_t::Waiting; --i)
        ++waiting;
    return waiting;
}
constexpr int ClockTickMs = 1000;
} // namespace

HistoryWindow_t::HistoryWindow_t(HistorySource_t &source, QWidget *parent)
    : HistoryView_t(parent, Qt::Window)
    , source(source)
    , model(new HistoryTableModel_t(HistoryRows::_Headers(source._History()._Type()), this))
    , table(new QTableView)
    , refreshTimer(new QTimer(this))
    , clockTimer(new QTimer(this)) {
    setAttribute(Qt::WA_DeleteOnClose);

    auto *ranges = new QButtonGroup(this);
    auto *top = new QHBoxLayout;
    for (int index = 0; index < int(std::size(Ranges)); ++index) {
        // Radio buttons show the chosen one under every style and tell
        // screen readers which is chosen.
        auto *button = new QRadioButton(_Tr(Ranges[index].text));
        button->setChecked(index == rangeIndex);
        button->setAccessibleDescription(_Tr("Range of the charts"));
        ranges->addButton(button);
        top->addWidget(button);
        connect(button, &QRadioButton::clicked, this, [this, index] { _ShowRange(index); });
    }
    top->addStretch();
    auto *copyButton = new QPushButton(_Tr("Copy"));
    copyButton->setAccessibleDescription(
        _Tr("Puts the selected rows, or all rows, on the clipboard as comma-separated values"));
    connect(copyButton, &QPushButton::clicked, this, &HistoryWindow_t::_Copy);
    top->addWidget(copyButton);

    auto *chartColumn = new QWidget;
    auto *chartLayout = new QVBoxLayout(chartColumn);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    for (Quantity_t quantity : _Quantities(source._History()._Type())) {
        auto *chart = new HistoryChart_t(quantity, chartColumn);
        charts.append(chart);
        chartLayout->addWidget(chart);
    }
    auto *chartArea = new QScrollArea;
    chartArea->setWidgetResizable(true);
    chartArea->setWidget(chartColumn);

    table->setModel(model);
    table->setAccessibleName(_Tr("Records"));
    table->setAccessibleDescription(_Tr("Reports, commands and marks, newest first"));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->installEventFilter(this);

    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(chartArea);
    splitter->addWidget(table);
    splitter->setChildrenCollapsible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);

    refreshTimer->setSingleShot(true);
    refreshTimer->setInterval(RefreshDelayMs);
    connect(refreshTimer, &QTimer::timeout, this, &HistoryWindow_t::_Refresh);
    clockTimer->setInterval(ClockTickMs);
    connect(clockTimer, &QTimer::timeout, this, &HistoryWindow_t::_Refresh);
    clockTimer->start();

    _FollowPalette();
    const int line = fontMetrics().height();
    resize(QSize(line * 48, line * 44).boundedTo(screen()->availableSize()));
    _Refresh();
}

void HistoryWindow_t::_Recorded() {
    rowsChanged = true;
    if (!refreshTimer->isActive())
        refreshTimer->start();
}

void HistoryWindow_t::_Refresh() {
    refreshTimer->stop();
    const qint64 nowMs = source._NowMs();
    // The table is made again only when a record came or a command's wait
    // ended, so that the clock's ticks leave a selection being made alone.
    const int waiting = _WaitingCommands(source._History());
    source._SettleHistory(nowMs);
    if (rowsChanged || _WaitingCommands(source._History()) != waiting) {
        rowsChanged = false;
        _ShowRows();
    }
    const QString title = _Tr("History: ") + source._HistoryName();
    if (windowTitle() != title) {
        setWindowTitle(title);
        setAccessibleName(title);
    }
    const Range_t &range = Ranges[rangeIndex];
    const qint64 endMs = (nowMs / range.roundMs + 1) * range.roundMs;
    const HistoryChart_t::TimeSpan_t span = {endMs - range.spanMs, endMs, nowMs, range.ticks};
    for (HistoryChart_t *chart : std::as_const(charts))
        chart->_Show(source._History(), span);
}

void HistoryWindow_t::_ShowRows() {
    // The selection, the current row and the first row in view stay on their
    // records while new ones come in above them.
    QStringList selected;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        selected.append(model->_Key(index.row()));
    const QModelIndex current = table->currentIndex();
    const QString currentKey = current.isValid() ? model->_Key(current.row()) : QString();
    const int firstShown = table->rowAt(0);
    const QString firstKey =
        firstShown > 0 ? model->_Key(firstShown) : QString(); // at the top: stay there

    model->_SetRows(HistoryRows::_Rows(source._History()));

    QItemSelection selection;
    for (const QString &key : std::as_const(selected)) {
        const int row = model->_RowOfKey(key);
        if (row >= 0)
            selection.select(model->index(row, 0), model->index(row, model->columnCount() - 1));
    }
    table->selectionModel()->select(selection, QItemSelectionModel::Select);
    if (const int row = model->_RowOfKey(currentKey); row >= 0)
        table->selectionModel()->setCurrentIndex(model->index(row, current.column()),
                                                 QItemSelectionModel::NoUpdate);
    if (const int row = model->_RowOfKey(firstKey); row >= 0)
        table->scrollTo(model->index(row, 0), QAbstractItemView::PositionAtTop);
}

void HistoryWindow_t::_ShowRange(int index) {
    rangeIndex = index;
    _Refresh();
}

void HistoryWindow_t::_Copy() {
    QList<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty())
        for (int row = 0; row < model->rowCount(); ++row)
            rows.append(row);
    QList<QStringList> lines = {model->_Headers()};
    for (int row : std::as_const(rows))
        lines.append(model->_Cells(row));
    QGuiApplication::clipboard()->setText(HistoryRows::_Csv(lines));
}

void HistoryWindow_t::_FollowPalette() {
    // The desktop's colours, with text that would be hard to read on its
    // background made black or white, as the panels do.
    QPalette colours = QGuiApplication::palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const auto readable = [&](QPalette::ColorRole text, QPalette::ColorRole background) {
            colours.setColor(
                group, text,
                _ReadableOn(colours.color(group, text), colours.color(group, background)));
        };
        readable(QPalette::WindowText, QPalette::Window);
        readable(QPalette::ButtonText, QPalette::Button);
        readable(QPalette::Text, QPalette::Base);
        if (_ContrastRatio(colours.color(group, QPalette::Text),
                           colours.color(group, QPalette::AlternateBase)) < ReadableContrast)
            colours.setColor(group, QPalette::AlternateBase, colours.color(group, QPalette::Base));
    }
    setPalette(colours);
}

void HistoryWindow_t::changeEvent(QEvent *event) {
    HistoryView_t::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange)
        _FollowPalette();
}

bool HistoryWindow_t::eventFilter(QObject *watched, QEvent *event) {
    // The table itself would copy only its current cell.
    if (watched == table &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy)) {
            if (event->type() == QEvent::KeyPress)
                _Copy();
            event->accept();
            return event->type() == QEvent::KeyPress;
        }
    }
    return HistoryView_t::eventFilter(watched, event);
}
