// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/BrightView.h"
#include "panels/Contrast.h"
#include "panels/PlugView.h"
#include "protocol/Clock.h"

#include "TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
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

const QByteArray Report10W = hex("00 10 01 08 E8030000 B0040000 00");
const QByteArray Report20W = hex("00 10 01 08 D0070000 60090000 00");
const QByteArray Report30W = hex("00 10 01 08 B80B0000 100E0000 04 4465736B"); // "Desk"

// Routing's part: the panel shows the report and records it at the test's time.
void hear(ItemView_t *panel, const QByteArray &report, qint64 atMs) {
    testNowMs = atMs;
    panel->_DataRead(report);
    panel->_Record(atMs, report);
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
    void followsTheDesktop_data();
    void followsTheDesktop();

private:
    PlugView_t *plugWith30W();

    MainWindow_t *window = nullptr;
};

void TestHistoryWindow::initTestCase() {
    QCoreApplication::addLibraryPath(QStringLiteral(TERNIX36_HISTORY_MODULE_DIR));
    pClockMs = &testClock;
    window = new MainWindow_t; // the panels take their scope from it
}

void TestHistoryWindow::cleanupTestCase() {
    delete window;
    pClockMs = &QDateTime::currentMSecsSinceEpoch;
}

void TestHistoryWindow::cleanup() {
    QApplication::setFont(QFont());
    QApplication::setPalette(QPalette());
}

PlugView_t *TestHistoryWindow::plugWith30W() {
    auto *panel = new PlugView_t(QHostAddress("fe80::10"), Report10W);
    panel->_Record(Start, Report10W);
    hear(panel, Report20W, Start + 1000);
    hear(panel, Report30W, Start + 2000);
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
    auto *panel = new PlugView_t(QHostAddress("fe80::10"), Report10W);
    std::unique_ptr<PlugView_t> owner(panel);
    panel->_Record(Start, Report10W);
    panel->_ShowHistory();
    HistoryView_t *history = panel->_HistoryWindow();
    QVERIFY(history);
    QCOMPARE(history->windowTitle(), "History: " + scoped("fe80::10"));

    hear(panel, Report20W, Start + 1000);
    hear(panel, Report30W, Start + 2000);
    QTableView *table = tableOf(history);
    QTRY_COMPARE(table->model()->rowCount(), 3);
    const QList<QStringList> expected = {
        {"Time", "Event", "Answer", "Real", "Apparent", "On/off"},
        {"2027-01-15 08:00:02", "Report", "", "30 W", "36 W", "On"},
        {"2027-01-15 08:00:01", "Report", "", "20 W", "24 W", "On"},
        {"2027-01-15 08:00:00", "Report", "", "10 W", "12 W", "On"}};
    QCOMPARE(tableText(table), expected);
    QCOMPARE(history->windowTitle(), QStringLiteral("History: Desk"));
    QCOMPARE(QAccessible::queryAccessibleInterface(history)->text(QAccessible::Name),
             QStringLiteral("History: Desk"));
    QCOMPARE(QAccessible::queryAccessibleInterface(table)->text(QAccessible::Name),
             QStringLiteral("Records"));

    // A command with no report within 2 s.
    testNowMs = Start + 3000;
    panel->findChild<QPushButton *>()->click();
    testNowMs = Start + 5001;
    QTRY_COMPARE(table->model()->index(0, 2).data().toString(), QStringLiteral("no answer"));
    QCOMPARE(table->model()->index(0, 1).data().toString(), QStringLiteral("Switch"));

    // One window per node: asked again, the same one.
    panel->_ShowHistory();
    QCOMPARE(panel->_HistoryWindow(), history);
}

void TestHistoryWindow::copy_data() {
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<bool>("keys");
    QTest::addColumn<QString>("csv");

    QTest::newRow("Copy, nothing selected") << QList<int>() << false
                                            << "Time,Event,Answer,Real,Apparent,On/off\n"
                                               "2027-01-15 08:00:02,Report,,30 W,36 W,On\n"
                                               "2027-01-15 08:00:01,Report,,20 W,24 W,On\n"
                                               "2027-01-15 08:00:00,Report,,10 W,12 W,On\n";
    QTest::newRow("Ctrl+C, two rows") << QList<int>{2, 0} << true
                                      << "Time,Event,Answer,Real,Apparent,On/off\n"
                                         "2027-01-15 08:00:02,Report,,30 W,36 W,On\n"
                                         "2027-01-15 08:00:00,Report,,10 W,12 W,On\n";
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
    const QString csv = QApplication::clipboard()->text();
    QTEST(csv, "csv");

    // The same text as the table holds, cell by cell.
    QList<QStringList> shown = tableText(table);
    if (!selected.isEmpty()) {
        std::sort(selected.begin(), selected.end());
        QList<QStringList> rows = {shown.first()};
        for (int row : selected)
            rows.append(shown.at(row + 1));
        shown = rows;
    }
    QStringList lines;
    for (const QStringList &cells : shown)
        lines.append(cells.join(QLatin1Char(',')));
    QCOMPARE(csv, lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
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
    const QList<QChartView *> charts = history->findChildren<QChartView *>();
    QCOMPARE(charts.size(), 3);
    for (QChartView *view : charts) {
        QCOMPARE(view->chart()->titleFont().pointSize(), points);
        const QColor text = view->chart()->titleBrush().color();
        const QColor background = view->chart()->backgroundBrush().color();
        QCOMPARE(background, QApplication::palette().color(QPalette::Base));
        QCOMPARE(text,
                 greyOnGrey ? QColor(Qt::black) : QApplication::palette().color(QPalette::Text));
    }
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
