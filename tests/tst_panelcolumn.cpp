// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "panels/ADPlugView.h"
#include "panels/BlindsView.h"
#include "panels/BrightView.h"
#include "panels/DimmerView.h"
#include "panels/PanelColumn.h"
#include "panels/PlugView.h"

#include "TestSupport.h"

#include <QScrollArea>
#include <QTest>

using namespace TestSupport;

namespace {

// A column as the main window builds it, inside a scroll area of its own.
struct Column {
    explicit Column(QVBoxLayout *layout)
        : layout(layout) {
        scrollArea.setWidgetResizable(true);
        container->setLayout(layout);
        container->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
        container->setAttribute(Qt::WA_StaticContents);
        scrollArea.setWidget(container);
        scrollArea.resize(700, 500);
        scrollArea.show();
    }
    QScrollArea scrollArea;
    QFrame *container = new QFrame;
    QVBoxLayout *layout;
    QList<ItemView_t *> panels;
};

ItemView_t *makePanel(int kind, const QByteArray &name) {
    const QHostAddress node(QStringLiteral("fe80::c0"));
    const QByteArray trailer = char(name.size()) + name;
    switch (kind % 5) {
    case 0:
        return new PlugView_t(node, hex("00 10 01 08 39300000 64000000") + trailer);
    case 1:
        return new ADPlugView_t(node, hex("00 20 01 09 01 39300000 64000000") + trailer);
    case 2:
        return new BrightView_t(node, hex("00 11 01 08 D7000000 10270000") + trailer);
    case 3:
        return new DimmerView_t(node, hex("00 30 01 01 32") + trailer);
    default:
        return new BlindsView_t(node, hex("00 21 01 01"));
    }
}

} // namespace

// The column must place panels exactly where a plain QVBoxLayout would, and
// spare the window any work when a report changes no panel's size.
class TestPanelColumn : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void placesPanelsAsAVBoxLayout();
    void reportThatChangesNoSizeMovesNothing();
    void look_data();
    void look();

private:
    void add(int kind, const QByteArray &name);
    void compare();

    MainWindow_t *window = nullptr; // the panels take their scope from it
    Column *plain = nullptr;
    Column *ours = nullptr;
};

void TestPanelColumn::initTestCase() {
    window = new MainWindow_t;
}

void TestPanelColumn::cleanupTestCase() {
    delete window;
}

void TestPanelColumn::init() {
    plain = new Column(new QVBoxLayout);
    ours = new Column(new PanelColumn_t);
}

void TestPanelColumn::cleanup() {
    delete plain;
    delete ours;
}

void TestPanelColumn::add(int kind, const QByteArray &name) {
    for (Column *column : {plain, ours}) {
        ItemView_t *panel = makePanel(kind, name);
        if (column == ours)
            static_cast<PanelColumn_t *>(column->layout)->_Append(panel); // as the window adds them
        else
            column->layout->addWidget(panel);
        column->panels.append(panel);
    }
}

void TestPanelColumn::compare() {
    // Both columns settle in their own time (the plain one passes through a
    // squeezed layout while its container grows): let them, then wait for
    // each figure to agree.
    QTest::qWait(20);
    QTRY_COMPARE(ours->container->size(), plain->container->size());
    QTRY_COMPARE(ours->container->sizeHint(), plain->container->sizeHint());
    QTRY_COMPARE(ours->container->minimumSizeHint(), plain->container->minimumSizeHint());
    QCOMPARE(ours->panels.size(), plain->panels.size());
    for (int i = 0; i < ours->panels.size(); ++i) {
        QTRY_COMPARE(ours->panels[i]->isVisible(), plain->panels[i]->isVisible());
        QTRY_COMPARE(ours->panels[i]->geometry(), plain->panels[i]->geometry());
    }
}

void TestPanelColumn::placesPanelsAsAVBoxLayout() {
    compare(); // empty
    for (int i = 0; i < 7; ++i) {
        add(i, "node " + QByteArray::number(i));
        compare();
    }
    // Several at once, as when many nodes answer together.
    for (int i = 7; i < 30; ++i)
        add(i, "node " + QByteArray::number(i));
    compare();

    // A panel that grows wider than all others widens the column; back again.
    const QByteArray longName = hex("00 10 01 00 40") + QByteArray(64, 'W');
    for (Column *column : {plain, ours})
        column->panels[5]->_DataRead(longName);
    compare();
    QVERIFY(ours->container->width() > ours->scrollArea.viewport()->width());
    for (Column *column : {plain, ours})
        column->panels[5]->_DataRead(hex("00 10 01 00 01 41"));
    compare();

    // The window resized, narrower than the panels and wider again.
    for (const QSize size : {QSize(300, 400), QSize(1200, 900), QSize(700, 500)}) {
        for (Column *column : {plain, ours})
            column->scrollArea.resize(size);
        compare();
    }
}

void TestPanelColumn::reportThatChangesNoSizeMovesNothing() {
    for (int i = 0; i < 10; ++i)
        add(i, "node");
    compare();

    // Counts the requests to lay the column out again.
    struct LayoutRequests : QObject {
        int count = 0;
        bool eventFilter(QObject *, QEvent *event) override {
            count += event->type() == QEvent::LayoutRequest ? 1 : 0;
            return false;
        }
    } requests;
    ours->container->installEventFilter(&requests);

    // Same width, other digits: the panel repaints, the column stays.
    ours->panels[0]->_DataRead(hex("00 10 01 08 38300000 65000000 04 6E6F6465"));
    QTest::qWait(20);
    QCOMPARE(requests.count, 0);
    QCOMPARE(cellText(ours->panels[0], 1, 3), QStringLiteral("123.44 W"));

    // A wider name makes this panel the widest: the column follows.
    ours->panels[0]->_DataRead(hex("00 10 01 00 40") + QByteArray(64, 'W'));
    plain->panels[0]->_DataRead(hex("00 10 01 00 40") + QByteArray(64, 'W'));
    QTest::qWait(20);
    QVERIFY(requests.count > 0);
    compare();
}

void TestPanelColumn::look_data() {
    QTest::addColumn<int>("kind");          // as makePanel() takes it
    QTest::addColumn<QByteArray>("report"); // read after the first one
    QTest::addColumn<QColor>("title");      // invalid: the panel's own window colour
    QTest::addColumn<QStringList>("captions");

    const QStringList power = {"Apparent", "Real"};
    QTest::newRow("plug, readings") << 0 << QByteArray() << QColor(Qt::yellow) << power;
    QTest::newRow("plug, none") << 0 << hex("00 10 01 00 00") << QColor(Qt::gray) << power;
    QTest::newRow("AD plug, on") << 1 << QByteArray() << QColor(Qt::yellow) << power;
    QTest::newRow("AD plug, off") << 1 << hex("00 20 01 09 00 39300000 64000000 00")
                                  << QColor(Qt::gray) << power;
    QTest::newRow("brightness sensor")
        << 2 << QByteArray() << QColor() << QStringList{"Brightness", "Temperature"};
    QTest::newRow("dimmer") << 3 << QByteArray() << QColor() << QStringList();
    QTest::newRow("blinds, down") << 4 << QByteArray() << QColor(Qt::red) << QStringList();
    QTest::newRow("blinds, up") << 4 << hex("00 21 01 03") << QColor(Qt::green) << QStringList();
    QTest::newRow("blinds, off") << 4 << hex("00 21 01 00") << QColor(Qt::gray) << QStringList();
}

void TestPanelColumn::look() {
    QFETCH(int, kind);
    QFETCH(QByteArray, report);
    QFETCH(QColor, title);
    const std::unique_ptr<ItemView_t> panel(makePanel(kind, "look"));
    if (!report.isEmpty())
        panel->_DataRead(report);

    QCOMPARE(panel->backgroundRole(), QPalette::Light);
    QVERIFY(panel->autoFillBackground());
    QLabel *bar = TestSupport::title(panel.get());
    QVERIFY(bar);
    QCOMPARE(bar->backgroundRole(), QPalette::Window);
    QVERIFY(bar->autoFillBackground());
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QBrush brush = bar->palette().brush(group, QPalette::Window);
        QCOMPARE(brush.style(), Qt::SolidPattern);
        QCOMPARE(brush.color(),
                 title.isValid() ? title : panel->palette().color(group, QPalette::Window));
    }
    QStringList filled; // the captions
    for (QLabel *label : panel->findChildren<QLabel *>())
        if (label->backgroundRole() == QPalette::Midlight && label->autoFillBackground())
            filled.append(label->text());
    QTEST(filled, "captions");
}

QTEST_MAIN(TestPanelColumn)
#include "tst_panelcolumn.moc"
