// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryWindow.h"

#include "panels/Contrast.h"
#include "panels/history/HistoryPlot.h"
#include "panels/history/HistoryTableModel.h"
#include "protocol/NodeHistory.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QString _Tr(const char *text) {
    return QCoreApplication::translate("History", text);
}

struct Range_t {
    const char *text;
    qint64 spanMs;
};
constexpr Range_t Ranges[] = {
    {QT_TRANSLATE_NOOP("History", "10 min"), NodeHistory_t::FullMs},
    {QT_TRANSLATE_NOOP("History", "1 h"), NodeHistory_t::MinutesMs},
    {QT_TRANSLATE_NOOP("History", "24 h"), NodeHistory_t::KeptMs},
};
constexpr int ClockTickMs = 1000;
// Rows whose texts set the columns' widths: the newest, then one in so many.
constexpr int NewestMeasured = 20;
constexpr int SampleEvery = 25;
// Keys of rows measured, forgotten beyond this many.
constexpr int MeasuredKeysMost = 10000;

int _WaitingCommands(const NodeHistory_t &history) {
    int waiting = 0;
    for (qsizetype i = history._Commands().size() - 1;
         i >= 0 && history._Commands().at(i).answerMs == NodeHistory_t::Waiting; --i)
        ++waiting;
    return waiting;
}
} // namespace

HistoryWindow_t::HistoryWindow_t(HistorySource_t &source, QWidget *parent)
    : HistoryView_t(parent, Qt::Window)
    , source(source)
    , model(new HistoryTableModel_t(HistoryRows::_Headers(source._History()._Type()),
                                    HistoryRows::_CopyHeaders(source._History()._Type()), this))
    , table(new QTableView)
    , plot(new HistoryPlot_t(source._History(), nullptr))
    , ranges(new QButtonGroup(this))
    , clockTimer(new QTimer(this)) {
    setAttribute(Qt::WA_DeleteOnClose);

    auto *top = new QHBoxLayout;
    for (int index = 0; index < int(std::size(Ranges)); ++index) {
        // Radio buttons show the chosen one under every style and tell
        // screen readers which is chosen.
        auto *button = new QRadioButton(_Tr(Ranges[index].text));
        button->setChecked(index == rangeIndex);
        button->setAccessibleDescription(_Tr("Range of the charts (Alt+%1)").arg(index + 1));
        button->setToolTip(
            QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + index)).toString(QKeySequence::NativeText));
        ranges->addButton(button, index);
        top->addWidget(button);
        connect(button, &QRadioButton::clicked, this, [this, index] { _ShowRange(index); });
        auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + index)), this);
        connect(shortcut, &QShortcut::activated, this, [this, index, button] {
            button->setChecked(true);
            _ShowRange(index);
        });
    }
    top->addStretch();
    auto *copyButton = new QPushButton(_Tr("Copy"));
    copyButton->setAccessibleDescription(
        _Tr("Puts the selected rows, or all rows, on the clipboard as comma-separated values"));
    connect(copyButton, &QPushButton::clicked, this, &HistoryWindow_t::_Copy);
    top->addWidget(copyButton);
    for (const QKeySequence &close :
         {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(close, this), &QShortcut::activated, this, &QWidget::close);

    table->setModel(model);
    table->setAccessibleName(_Tr("Records"));
    table->setAccessibleDescription(_Tr("Reports, commands and marks, newest first"));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    // The rows' colours alternate; the grid's long lines would each go to
    // Qt's painting threads, every second.
    table->setShowGrid(false);
    // Tab leaves the table for the next control, as everywhere else.
    table->setTabKeyNavigation(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table->horizontalHeader()->setStretchLastSection(true);
    table->installEventFilter(this);

    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(plot);
    splitter->addWidget(table);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);

    clockTimer->setInterval(ClockTickMs);
    connect(clockTimer, &QTimer::timeout, this, &HistoryWindow_t::_Tick);
    clockTimer->start();

    _FollowPalette();
    _FitScreen();
    plot->_SetSpan(Ranges[rangeIndex].spanMs);
    _Refresh();
}

void HistoryWindow_t::_FitScreen() {
    // As large as its charts and table want, but within the screen, its
    // title bar and frame included.
    const int line = fontMetrics().height();
    const QRect available = screen()->availableGeometry();
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const QSize room(available.width() - frame, available.height() - titleBar - frame);
    resize(QSize(line * 48, line * 44).boundedTo(room));
}

void HistoryWindow_t::_Recorded() {
    // Shown at the next tick of the clock: no more than once a second.
    rowsChanged = true;
}

void HistoryWindow_t::_Tick() {
    if (isVisible() && !isMinimized())
        _Refresh();
}

void HistoryWindow_t::_Refresh() {
    const qint64 nowMs = source._NowMs();
    // The table is made again only when a record came or a command's wait
    // ended, so that the clock's ticks leave a selection being made alone.
    const int waiting = _WaitingCommands(source._History());
    source._SettleHistory();
    if (rowsChanged || _WaitingCommands(source._History()) != waiting) {
        rowsChanged = false;
        _ShowRows();
    }
    const QString title = _Tr("History: ") + source._HistoryName();
    if (windowTitle() != title) {
        setWindowTitle(title);
        setAccessibleName(title);
    }
    plot->_SetNow(nowMs);
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

    model->_SetTable(HistoryRows::Table_t(source._History()));
    _FitColumns();

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

// Wide enough for the header and the newest rows; measured with the font
// alone, which costs nothing like the view's own measure of every row.
void HistoryWindow_t::_FitColumns() {
    const QFontMetrics metrics(table->font());
    const QFontMetrics headerMetrics(table->horizontalHeader()->font());
    const int padding = metrics.height();
    QHeaderView *header = table->horizontalHeader();
    // The newest rows, and a sample of the older (the thinned rows are
    // wider), each once: measuring text costs more than all else.
    const bool headers = measuredKeys.isEmpty();
    QList<int> measured;
    for (int row = 0; row < model->rowCount(); row += row < NewestMeasured ? 1 : SampleEvery) {
        const QString key = model->_Key(row);
        if (measuredKeys.contains(key))
            continue;
        measuredKeys.insert(key);
        measured.append(row);
    }
    if (measuredKeys.size() > MeasuredKeysMost)
        measuredKeys.clear();
    if (!headers && measured.isEmpty())
        return;
    for (int column = 0; column + 1 < model->columnCount(); ++column) {
        int width =
            headers ? headerMetrics.horizontalAdvance(model->_Headers().value(column)) + padding * 2
                    : 0;
        for (int row : std::as_const(measured))
            width = std::max(width,
                             metrics.horizontalAdvance(model->_Cells(row).value(column)) + padding);
        if (width > header->sectionSize(column))
            header->resizeSection(column, width);
    }
}

void HistoryWindow_t::_ShowRange(int index) {
    rangeIndex = index;
    plot->_SetSpan(Ranges[index].spanMs);
    _Refresh();
}

// The rows with their numbers, made anew for the copy: the selected ones
// found by their keys.
void HistoryWindow_t::_Copy() {
    const HistoryRows::Table_t rows(source._History());
    QList<int> selected;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        selected.append(index.row());
    std::sort(selected.begin(), selected.end());
    QList<QStringList> lines = {model->_CopyHeaders()};
    if (selected.isEmpty()) {
        for (int row = 0; row < rows._Count(); ++row)
            lines.append(rows._Row(row, true).numbers);
    } else {
        QHash<QString, int> rowOfKey;
        for (int row = 0; row < rows._Count(); ++row)
            rowOfKey.insert(rows._Key(row), row);
        for (int row : std::as_const(selected))
            if (const int found = rowOfKey.value(model->_Key(row), -1); found >= 0)
                lines.append(rows._Row(found, true).numbers);
    }
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
    // Brought back: what came meanwhile at once.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        _Refresh();
}

void HistoryWindow_t::showEvent(QShowEvent *event) {
    HistoryView_t::showEvent(event);
    _Refresh();
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
