// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/BlindsView.h"
#include "panels/BrightView.h"
#include "panels/Contrast.h"
#include "panels/PlugView.h"
#include "protocol/Clock.h"

#include "TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QTest>

using namespace TestSupport;

namespace {
// 2027-01-15 08:00:00 UTC; the test runs with TZ=UTC.
constexpr qint64 Start = 1800000000000;
qint64 testNowMs = Start;
qint64 testClock() {
    return testNowMs;
}
// The monotonic clock moves with the wall clock here.
qint64 testMonotonicClock() {
    return testNowMs - Start + 1000;
}

const QByteArray Report10W = hex("00 10 01 08 E8030000 B0040000 00");
const QByteArray Report20W = hex("00 10 01 08 D0070000 60090000 00");
const QByteArray Report30W = hex("00 10 01 08 B80B0000 100E0000 04 4465736B"); // "Desk"

// Routing's part: the panel shows the report and records it at the test's time.
void hear(ItemView_t *panel, const QByteArray &report, qint64 atMs) {
    testNowMs = atMs;
    panel->_DataRead(report);
    panel->_Record(_Now(), report);
}

QTableView *tableOf(HistoryView_t *window) {
    return window->findChild<QTableView *>();
}

// Every row of the table as the view's model gives it, headers first.
QList<QStringList> tableText(QTableView *table) {
    const QAbstractItemModel *model = table->model();
    QList<QStringList> rows;
    QStringList headers;
    for (int column = 0; column < model->columnCount(); ++column)
        headers.append(model->headerData(column, Qt::Horizontal).toString());
    rows.append(headers);
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells.append(model->index(row, column).data().toString());
        rows.append(cells);
    }
    return rows;
}
} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void keysOpenTheMenu_data();
    void keysOpenTheMenu();
    void tableFollowsTheReports();
    void copy_data();
    void copy();
    void thinnedChangesAreCopied_data();
    void thinnedChangesAreCopied();
    void keyboardAndWindow();
    void followsTheDesktop_data();
    void followsTheDesktop();

private:
    PlugView_t *plugWith30W();

    MainWindow_t *window = nullptr;
    QPair<qint64 (*)(), qint64 (*)()> realClocks;
};

void TestHistoryWindow::initTestCase() {
    QCoreApplication::addLibraryPath(QStringLiteral(TERNIX36_HISTORY_MODULE_DIR));
    realClocks = {pClockMs, pMonotonicMs};
    pClockMs = &testClock;
    pMonotonicMs = &testMonotonicClock;
    window = new MainWindow_t; // the panels take their scope from it
}

void TestHistoryWindow::cleanupTestCase() {
    delete window;
    pClockMs = realClocks.first;
    pMonotonicMs = realClocks.second;
}

void TestHistoryWindow::cleanup() {
    QApplication::setFont(QFont());
    QApplication::setPalette(QPalette());
}

PlugView_t *TestHistoryWindow::plugWith30W() {
    testNowMs = Start;
    auto *panel = new PlugView_t(QHostAddress("fe80::10"), Report10W);
    panel->_Record(_Now(), Report10W);
    hear(panel, Report20W, Start + 1000);
    hear(panel, Report30W, Start + 2250);
    return panel;
}

void TestHistoryWindow::keysOpenTheMenu_data() {
    QTest::addColumn<bool>("sensor");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QTest::newRow("Shift+F10 on Switch") << false << int(Qt::Key_F10) << int(Qt::ShiftModifier);
    QTest::newRow("Menu key on Switch") << false << int(Qt::Key_Menu) << int(Qt::NoModifier);
    QTest::newRow("Shift+F10 in a field") << true << int(Qt::Key_F10) << int(Qt::ShiftModifier);
}

void TestHistoryWindow::keysOpenTheMenu() {
    QFETCH(bool, sensor);
    QFETCH(int, key);
    QFETCH(int, modifiers);

    std::unique_ptr<ItemView_t> panel;
    if (sensor)
        panel.reset(
            new BrightView_t(QHostAddress("fe80::11"), hex("00 11 01 08 D7000000 10270000 00")));
    else
        panel.reset(plugWith30W());
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QWidget *control = sensor ? static_cast<QWidget *>(panel->findChild<QLineEdit *>())
                              : panel->findChild<QPushButton *>();
    control->setFocus();
    QTest::keyClick(control, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    // A field's menu keeps its own editing entries before "History…".
    QCOMPARE(menu->actions().size() > 1, sensor);
    QAction *entry = menu->actions().last();
    QCOMPARE(entry->text(), QStringLiteral("History\u2026"));
    entry->trigger();
    menu->close();
    QVERIFY(panel->_HistoryWindow());
    QVERIFY(QTest::qWaitForWindowExposed(panel->_HistoryWindow()));
}

void TestHistoryWindow::tableFollowsTheReports() {
    testNowMs = Start;
    auto *panel = new PlugView_t(QHostAddress("fe80::10"), Report10W);
    std::unique_ptr<PlugView_t> owner(panel);
    panel->_Record(_Now(), Report10W);
    panel->_ShowHistory();
    HistoryView_t *history = panel->_HistoryWindow();
    QVERIFY(history);
    QCOMPARE(history->windowTitle(), "History: " + scoped("fe80::10"));

    hear(panel, Report20W, Start + 1000);
    hear(panel, Report30W, Start + 2250);
    QTableView *table = tableOf(history);
    QTRY_COMPARE(table->model()->rowCount(), 3);
    const QList<QStringList> expected = {
        {"Time", "Event", "Answer", "Real", "Apparent", "On/off"},
        {"2027-01-15 08:00:02.250", "Report", "", "30 W", "36 W", "On"},
        {"2027-01-15 08:00:01.000", "Report", "", "20 W", "24 W", "On"},
        {"2027-01-15 08:00:00.000", "Report", "", "10 W", "12 W", "On"}};
    QCOMPARE(tableText(table), expected);
    QCOMPARE(history->windowTitle(), QStringLiteral("History: Desk"));
    QCOMPARE(QAccessible::queryAccessibleInterface(history)->text(QAccessible::Name),
             QStringLiteral("History: Desk"));
    QCOMPARE(QAccessible::queryAccessibleInterface(table)->text(QAccessible::Name),
             QStringLiteral("Records"));

    // A Switch that only an unasked report with the same state follows: no
    // answer. Then one that the node does answer.
    testNowMs = Start + 3000;
    panel->findChild<QPushButton *>()->click();
    hear(panel, Report30W, Start + 3400);
    testNowMs = Start + 5001;
    QTRY_COMPARE(table->model()->index(1, 2).data().toString(), QStringLiteral("no answer"));
    QCOMPARE(table->model()->index(1, 1).data().toString(), QStringLiteral("Switch"));
    testNowMs = Start + 6000;
    panel->findChild<QPushButton *>()->click();
    hear(panel, hex("00 10 01 00 00"), Start + 6120);
    QTRY_COMPARE(table->model()->index(1, 2).data().toString(),
                 QStringLiteral("answered in 120 ms"));
    QCOMPARE(table->model()->index(0, 5).data().toString(), QStringLiteral("Off"));

    // One window per node: asked again, the same one.
    panel->_ShowHistory();
    QCOMPARE(panel->_HistoryWindow(), history);
}

void TestHistoryWindow::copy_data() {
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<bool>("keys");
    QTest::addColumn<QString>("csv");

    const QString headers = "Time,Event,Answer,Answer (ms),Real (W),Real least (W),"
                            "Real greatest (W),Apparent (W),Apparent least (W),"
                            "Apparent greatest (W),\"On/off (1 on, 0 off)\"\n";
    QTest::newRow("Copy, nothing selected")
        << QList<int>() << false
        << headers + "2027-01-15T08:00:02.250+00:00,Report,,,30.00,,,36.00,,,1\n"
                     "2027-01-15T08:00:01.000+00:00,Report,,,20.00,,,24.00,,,1\n"
                     "2027-01-15T08:00:00.000+00:00,Report,,,10.00,,,12.00,,,1\n";
    QTest::newRow("Ctrl+C, two rows")
        << QList<int>{2, 0} << true
        << headers + "2027-01-15T08:00:02.250+00:00,Report,,,30.00,,,36.00,,,1\n"
                     "2027-01-15T08:00:00.000+00:00,Report,,,10.00,,,12.00,,,1\n";
}

void TestHistoryWindow::copy() {
    QFETCH(QList<int>, selected);
    QFETCH(bool, keys);

    std::unique_ptr<PlugView_t> panel(plugWith30W());
    panel->_ShowHistory();
    HistoryView_t *history = panel->_HistoryWindow();
    QTableView *table = tableOf(history);
    for (int row : selected)
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::clipboard()->clear();
    if (keys) {
        QTest::keySequence(table, QKeySequence::Copy);
    } else {
        for (QPushButton *button : history->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("Copy"))
                button->click();
    }
    QTEST(QApplication::clipboard()->text(), "csv");
}

void TestHistoryWindow::thinnedChangesAreCopied_data() {
    QTest::addColumn<QByteArray>("first");  // the kind's reports, before and after the trip
    QTest::addColumn<QByteArray>("second"); // from :15 to :57 of the first minute
    QTest::addColumn<QByteArray>("third");  // from :57 on
    QTest::addColumn<QStringList>("lines"); // the changes, as copied

    QTest::newRow("plug on, off, on")
        << Report10W << hex("00 10 01 00 00") << Report10W
        << QStringList{"2027-01-15T08:00:57.000+00:00,Change,,,,,,,,,1",
                       "2027-01-15T08:00:15.000+00:00,Change,,,,,,,,,0"};
    QTest::newRow("blinds down, up, off")
        << hex("00 21 01 01") << hex("00 21 01 03") << hex("00 21 01 00")
        << QStringList{"2027-01-15T08:00:57.000+00:00,Change,,,0",
                       "2027-01-15T08:00:15.000+00:00,Change,,,3"};
}

// A minute whose reports are thinned, as the 1 h range shows it: its
// changes of state are kept, at their times, and copied.
void TestHistoryWindow::thinnedChangesAreCopied() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, third);
    QFETCH(QStringList, lines);

    testNowMs = Start;
    std::unique_ptr<ItemView_t> panel(
        first.at(1) == 0x21
            ? static_cast<ItemView_t *>(new BlindsView_t(QHostAddress("fe80::16"), first))
            : new PlugView_t(QHostAddress("fe80::16"), first));
    panel->_Record(_Now(), first);
    for (int at = 1; at <= 12 * 60; ++at)
        hear(panel.get(), at < 15 ? first : at < 57 ? second : third, Start + at * 1000);
    panel->_ShowHistory();
    HistoryView_t *history = panel->_HistoryWindow();
    for (QRadioButton *range : history->findChildren<QRadioButton *>())
        if (range->text() == QLatin1String("1 h"))
            range->click();
    for (QPushButton *button : history->findChildren<QPushButton *>())
        if (button->text() == QLatin1String("Copy"))
            button->click();
    const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    for (const QString &line : lines)
        QVERIFY2(copied.contains(line), qPrintable(line));
}

// Tab leaves the table, Esc closes the window, and History… brings back a
// minimised one.
void TestHistoryWindow::keyboardAndWindow() {
    std::unique_ptr<PlugView_t> panel(plugWith30W());
    panel->_ShowHistory();
    QPointer<HistoryView_t> history = panel->_HistoryWindow();
    QVERIFY(QTest::qWaitForWindowExposed(history));
    QTableView *table = tableOf(history);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Tab);
    QVERIFY(qobject_cast<QRadioButton *>(QApplication::focusWidget()));

    history->showMinimized();
    QTRY_VERIFY(history->isMinimized());
    panel->_ShowHistory();
    QCOMPARE(panel->_HistoryWindow(), history.data());
    QVERIFY(!history->isMinimized());
    QVERIFY(history->isVisible());

    history->activateWindow();
    QTest::keyClick(history, Qt::Key_Escape);
    QTRY_VERIFY(history.isNull());
}

void TestHistoryWindow::followsTheDesktop_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("greyOnGrey");

    QTest::newRow("8 pt") << 8 << false;
    QTest::newRow("16 pt, grey text on grey") << 16 << true;
}

void TestHistoryWindow::followsTheDesktop() {
    QFETCH(int, points);
    QFETCH(bool, greyOnGrey);

    QFont font = QApplication::font();
    font.setPointSize(points);
    QApplication::setFont(font);
    if (greyOnGrey) {
        QPalette palette;
        palette.setColor(QPalette::Base, QColor(0x80, 0x80, 0x80));
        palette.setColor(QPalette::Text, QColor(0x90, 0x90, 0x90));
        QApplication::setPalette(palette);
    }
    std::unique_ptr<PlugView_t> panel(plugWith30W());
    panel->_ShowHistory();
    HistoryView_t *history = panel->_HistoryWindow();
    QVERIFY(QTest::qWaitForWindowExposed(history));

    for (QAbstractButton *button : history->findChildren<QAbstractButton *>()) {
        QVERIFY2(button->width() >= button->sizeHint().width() &&
                     button->height() >= button->sizeHint().height(),
                 qPrintable(button->text()));
    }
    const QPalette table = tableOf(history)->palette();
    QVERIFY(_ContrastRatio(table.color(QPalette::Text), table.color(QPalette::Base)) >= 4.5);
    QVERIFY(_ContrastRatio(table.color(QPalette::Text), table.color(QPalette::AlternateBase)) >=
            4.5);
    // The charts in the desktop's font, on its base colour, and the window
    // within the screen, its title bar included.
    QWidget *charts = nullptr;
    for (QWidget *widget : history->findChildren<QWidget *>())
        if (widget->accessibleName() == QLatin1String("Charts"))
            charts = widget;
    QVERIFY(charts);
    QCOMPARE(charts->font().pointSize(), points);
    QCOMPARE(charts->grab().toImage().pixelColor(charts->width() - 5, charts->height() / 2),
             QApplication::palette().color(QPalette::Base));
    const QRect available = history->screen()->availableGeometry();
    QVERIFY(history->height() + history->style()->pixelMetric(QStyle::PM_TitleBarHeight) <=
            available.height());
    QVERIFY(history->width() <= available.width());
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
