// SPDX-License-Identifier: GPL-3.0-or-later
// What every operator can read and work: texts that fit at any desktop font
// and scale (the test runs again at QT_SCALE_FACTOR=2), colours that stand out
// under light, dark and high-contrast palettes, and names for assistive
// technology.
#include "app/MainWindow.h"
#include "panels/ADPlugView.h"
#include "panels/BlindsView.h"
#include "panels/BrightView.h"
#include "panels/Contrast.h"
#include "panels/DimmerView.h"
#include "panels/PlugView.h"

#include "TestSupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QTest>

// Only the platform turns accessibility on; the test stands in for a screen reader.
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>

#include <memory>

using namespace TestSupport;

namespace {

// The objects whose name a screen reader was told had changed.
QList<QObject *> nameChanges;
void recordNameChange(QAccessibleEvent *event) {
    if (event->type() == QAccessible::NameChanged)
        nameChanges.append(event->object());
}

std::unique_ptr<ItemView_t> makePanel(const QString &kind, const QByteArray &report) {
    const QHostAddress node(QStringLiteral("fe80::15"));
    if (kind == "plug")
        return std::make_unique<PlugView_t>(node, report);
    if (kind == "adplug")
        return std::make_unique<ADPlugView_t>(node, report);
    if (kind == "bright")
        return std::make_unique<BrightView_t>(node, report);
    if (kind == "dimmer")
        return std::make_unique<DimmerView_t>(node, report);
    return std::make_unique<BlindsView_t>(node, report);
}

// One report of each kind, with the name "Desk lamp" where the kind has one.
const QList<QPair<QString, QByteArray>> Reports = {
    {"plug", hex("00 10 01 08 39300000 64000000 09 4465736B206C616D70")},
    {"adplug", hex("00 20 01 09 01 39300000 64000000 09 4465736B206C616D70")},
    {"bright", hex("00 11 01 08 D7000000 10270000 09 4465736B206C616D70")},
    {"dimmer", hex("00 30 01 01 32 09 4465736B206C616D70")},
    {"blinds", hex("00 21 01 00")},
};

QString textOf(QWidget *widget) {
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *field = qobject_cast<QLineEdit *>(widget))
        return field->text();
    return QString();
}

// The room a widget has for its text.
QRect textRoom(QWidget *widget) {
    QRect room = widget->contentsRect();
    if (qobject_cast<QAbstractButton *>(widget)) {
        const int frame =
            widget->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
        room.adjust(frame, frame, -frame, -frame);
    }
    return room;
}

// What the widget paints its text in, and on.
QPair<QColor, QColor> textColours(QWidget *widget, QPalette::ColorGroup group) {
    if (qobject_cast<QAbstractButton *>(widget))
        return {widget->palette().color(group, QPalette::ButtonText),
                widget->palette().color(group, QPalette::Button)};
    if (qobject_cast<QLineEdit *>(widget))
        return {widget->palette().color(group, QPalette::Text),
                widget->palette().color(group, QPalette::Base)};
    QWidget *filled = widget;
    while (!filled->autoFillBackground())
        filled = filled->parentWidget();
    return {widget->palette().color(group, widget->foregroundRole()),
            filled->palette().color(group, filled->backgroundRole())};
}

QPalette darkPalette() {
    QPalette dark(Qt::white, QColor("#404040"), QColor("#979797"), QColor("#1e1e1e"),
                  QColor("#303030"), Qt::white, Qt::white, QColor("#242424"), QColor("#353535"));
    dark.setColor(QPalette::Midlight, QColor("#5e5e5e"));
    dark.setColor(QPalette::ButtonText, Qt::white);
    return dark;
}

QPalette highContrastPalette() {
    QPalette high(Qt::white, Qt::black, Qt::white, QColor("#808080"), QColor("#808080"), Qt::white,
                  Qt::white, Qt::black, Qt::black);
    high.setColor(QPalette::Midlight, QColor("#808080"));
    high.setColor(QPalette::ButtonText, Qt::white);
    return high;
}

} // namespace

class TestLegibility : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void contrast_data();
    void contrast();
    void textFits_data();
    void textFits();
    void colours_data();
    void colours();
    void accessibleNames_data();
    void accessibleNames();

private:
    MainWindow_t *window = nullptr;
    QFont defaultFont;
    QPalette defaultPalette;
};

void TestLegibility::initTestCase() {
    window = new MainWindow_t; // the panels take their scope from it
    defaultFont = QApplication::font();
    defaultPalette = QApplication::palette();
}

void TestLegibility::cleanupTestCase() {
    delete window;
}

void TestLegibility::contrast_data() {
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QColor>("readable");

    QTest::newRow("black on white")
        << QColor(Qt::black) << QColor(Qt::white) << 21.0 << QColor(Qt::black);
    QTest::newRow("white on yellow")
        << QColor(Qt::white) << QColor(Qt::yellow) << 1.07 << QColor(Qt::black);
    QTest::newRow("white on red") << QColor(Qt::white) << QColor(Qt::red) << 4.0
                                  << QColor(Qt::black);
    QTest::newRow("white on a dark light")
        << QColor(Qt::white) << QColor("#979797") << 2.9 << QColor(Qt::black);
    QTest::newRow("black on a dark window")
        << QColor(Qt::black) << QColor("#353535") << 1.71 << QColor(Qt::white);
    QTest::newRow("dark blue on white kept")
        << QColor("#000080") << QColor(Qt::white) << 16.0 << QColor("#000080");
}

void TestLegibility::contrast() {
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QFETCH(double, ratio);
    QVERIFY2(qAbs(_ContrastRatio(text, background) - ratio) < 0.01 * ratio,
             qPrintable(QString::number(_ContrastRatio(text, background))));
    QTEST(_ReadableOn(text, background), "readable");
}

void TestLegibility::textFits_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<double>("points"); // 0: Qt's default font
    QTest::addColumn<bool>("changedWhileShown");

    for (double points : {0.0, 8.0, 11.0, 14.0, 16.0})
        for (bool changed : {false, true}) {
            if (points == 0 && changed)
                continue;
            for (const auto &[kind, report] : Reports)
                QTest::addRow("%s %s pt%s", qPrintable(kind),
                              points ? qPrintable(QString::number(points)) : "default",
                              changed ? ", changed while shown" : "")
                    << kind << report << points << changed;
        }
}

void TestLegibility::textFits() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, report);
    QFETCH(double, points);
    QFETCH(bool, changedWhileShown);

    QFont font = defaultFont;
    if (points > 0)
        font.setPointSizeF(points);
    if (!changedWhileShown)
        QApplication::setFont(font);
    std::unique_ptr<ItemView_t> panel = makePanel(kind, report);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    if (changedWhileShown)
        QApplication::setFont(font);
    QApplication::processEvents();
    panel->resize(panel->minimumSizeHint().width(), panel->height());
    QApplication::processEvents();
    const auto restore = qScopeGuard([this] { QApplication::setFont(defaultFont); });

    if (points == 0) // the panel's kind's own height
        QCOMPARE(panel->height(), kind == "bright" || kind == "dimmer" ? 115 : 105);
    QVERIFY(panel->height() == panel->minimumHeight());

    const QList<QWidget *> widgets = panel->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        const QString text = textOf(widget);
        const QRect room = textRoom(widget);
        const QFontMetrics metrics = widget->fontMetrics();
        const QByteArray where = kind.toLatin1() + ": \"" + text.toUtf8() + "\" in " +
                                 QByteArray::number(room.width()) + "x" +
                                 QByteArray::number(room.height());
        if (!text.isEmpty()) {
            QVERIFY2(metrics.horizontalAdvance(text) <= room.width(), where.constData());
            QVERIFY2(metrics.tightBoundingRect(text).height() <= room.height(), where.constData());
        }
        QVERIFY2(panel->rect().contains(widget->geometry()), where.constData());
        // The title and the empty frame share the first cell; nothing else overlaps.
        for (QWidget *other : widgets) {
            if (other == widget ||
                (textOf(widget).startsWith("TERNIX36") && !qobject_cast<QLabel *>(other)) ||
                (textOf(other).startsWith("TERNIX36") && !qobject_cast<QLabel *>(widget)))
                continue;
            QVERIFY2(!widget->geometry().intersects(other->geometry()),
                     (where + " overlaps \"" + textOf(other).toUtf8() + "\"").constData());
        }
    }
}

void TestLegibility::colours_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QPalette>("desktop");
    QTest::addColumn<bool>("changedWhileShown");
    QTest::addColumn<QColor>("bar"); // invalid: the palette's window colour

    const QList<std::tuple<QString, QByteArray, QColor>> states = {
        {"plug on", Reports[0].second, QColor(Qt::yellow)},
        {"plug off", hex("00 10 01 00 00"), QColor(Qt::gray)},
        {"adplug on", Reports[1].second, QColor(Qt::yellow)},
        {"adplug off", hex("00 20 01 09 00 39300000 64000000 00"), QColor(Qt::gray)},
        {"bright", Reports[2].second, QColor()},
        {"dimmer", Reports[3].second, QColor()},
        {"blinds off", hex("00 21 01 00"), QColor(Qt::gray)},
        {"blinds down", hex("00 21 01 01"), QColor(Qt::red)},
        {"blinds up", hex("00 21 01 03"), QColor(Qt::green)},
    };
    const QList<QPair<const char *, QPalette>> palettes = {
        {"default", QApplication::palette()},
        {"dark", darkPalette()},
        {"high contrast", highContrastPalette()}};
    for (const auto &[state, report, bar] : states)
        for (const auto &[name, palette] : palettes)
            for (bool changed : {false, true})
                QTest::addRow("%s, %s%s", qPrintable(state), name, changed ? ", switched" : "")
                    << state.section(' ', 0, 0) << report << palette << changed << bar;
}

void TestLegibility::colours() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, report);
    QFETCH(QPalette, desktop);
    QFETCH(bool, changedWhileShown);
    QFETCH(QColor, bar);

    if (!changedWhileShown)
        QApplication::setPalette(desktop);
    std::unique_ptr<ItemView_t> panel = makePanel(kind, report);
    panel->show();
    if (changedWhileShown)
        QApplication::setPalette(desktop);
    const auto restore = qScopeGuard([this] { QApplication::setPalette(defaultPalette); });

    QApplication::processEvents();
    QCOMPARE(titleColour(panel.get()), bar.isValid() ? bar : desktop.color(QPalette::Window));
    for (QWidget *widget : panel->findChildren<QWidget *>()) {
        if (textOf(widget).isEmpty())
            continue;
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            const auto [text, background] = textColours(widget, group);
            // Computed here as the WCAG define it, not with the program's own function.
            const auto luminance = [](const QColor &colour) {
                const auto linear = [](double c) {
                    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
                };
                return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
                       0.0722 * linear(colour.blueF());
            };
            const double a = luminance(text), b = luminance(background);
            const double ratio = (qMax(a, b) + 0.05) / (qMin(a, b) + 0.05);
            QVERIFY2(ratio >= 4.5,
                     qPrintable(QStringLiteral("\"%1\": %2 on %3, %4:1")
                                    .arg(textOf(widget), text.name(), background.name())
                                    .arg(ratio)));
        }
    }
}

void TestLegibility::accessibleNames_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("renamed");
    QTest::addColumn<QString>("newName");

    QTest::newRow("plug") << "plug" << Reports[0].second << "TERNIX36 Plug, Desk lamp"
                          << hex("00 10 01 00 04 4B697465") << "TERNIX36 Plug, Kite";
    QTest::newRow("plug, no name yet")
        << "plug" << hex("00 10 01 00 00") << "TERNIX36 Plug, <address>" << Reports[0].second
        << "TERNIX36 Plug, Desk lamp";
    QTest::newRow("adplug") << "adplug" << Reports[1].second << "TERNIX36 ADPlug, Desk lamp"
                            << hex("00 20 01 00 00") << "TERNIX36 ADPlug, <address>";
    QTest::newRow("bright") << "bright" << Reports[2].second << "TERNIX36 Bright, Desk lamp"
                            << hex("00 11 01 00 04 4B697465") << "TERNIX36 Bright, Kite";
    QTest::newRow("dimmer") << "dimmer" << Reports[3].second << "TERNIX36 Dimmer, Desk lamp"
                            << hex("00 30 01 01 32 04 4B697465") << "TERNIX36 Dimmer, Kite";
    QTest::newRow("blinds") << "blinds" << Reports[4].second << "TERNIX36 Blinds, <address>"
                            << hex("00 21 01 03 04 4B697465") << "TERNIX36 Blinds, <address>";
}

void TestLegibility::accessibleNames() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, report);
    QFETCH(QString, name);
    QFETCH(QByteArray, renamed);
    QFETCH(QString, newName);
    QHostAddress address(QStringLiteral("fe80::15"));
    address.setScopeId(window->_InterfaceName());
    name.replace("<address>", address.toString());
    newName.replace("<address>", address.toString());
    std::unique_ptr<ItemView_t> panel = makePanel(kind, report);

    QAccessibleInterface *group = QAccessible::queryAccessibleInterface(panel.get());
    QVERIFY(group);
    QCOMPARE(group->role(), QAccessible::Grouping);
    QCOMPARE(group->text(QAccessible::Name), name);
    // A listening screen reader hears of a new name once, and of no other report.
    QPlatformAccessibility *accessibility =
        QGuiApplicationPrivate::platformIntegration()->accessibility();
    QVERIFY(accessibility);
    QAccessible::installUpdateHandler(&recordNameChange);
    accessibility->setActive(true);
    panel->_DataRead(renamed);
    panel->_DataRead(renamed);
    accessibility->setActive(false);
    QAccessible::installUpdateHandler(nullptr);
    QCOMPARE(group->text(QAccessible::Name), newName);
    QCOMPARE(nameChanges.count(panel.get()), newName == name ? 0 : 1);
    nameChanges.clear();

    for (QWidget *widget : panel->findChildren<QWidget *>()) {
        QAccessibleInterface *control = QAccessible::queryAccessibleInterface(widget);
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            QCOMPARE(control->text(QAccessible::Name), button->text());
        if (qobject_cast<QLineEdit *>(widget)) {
            // Named by the caption in the column beside it.
            const QList<int> place = placement(panel.get(), widget);
            QCOMPARE(control->text(QAccessible::Name), cellText(panel.get(), place[0], 4));
        }
        if (auto *slider = qobject_cast<QSlider *>(widget)) {
            QCOMPARE(control->text(QAccessible::Name), QStringLiteral("Level"));
            slider->setValue(30);
            QCOMPARE(control->valueInterface()->currentValue().toInt(), 30);
        }
    }
    // Value labels are described by their captions, in the row under them.
    const QList<int> valueColumns = kind == "bright"        ? QList<int>{2, 3}
                                    : kind.endsWith("plug") ? QList<int>{2, 3}
                                                            : QList<int>{};
    for (int column : valueColumns) {
        QWidget *value = cell(panel.get(), 1, column);
        QCOMPARE(QAccessible::queryAccessibleInterface(value)->text(QAccessible::Description),
                 cellText(panel.get(), kind == "bright" ? 4 : 3, column));
    }
}

QTEST_MAIN(TestLegibility)
#include "tst_legibility.moc"
