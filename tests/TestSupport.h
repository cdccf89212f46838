// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers shared by the tests: hex literals, a UDP catcher that plays the
// node's side of a command, and access to panel widgets by grid position.

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include <QAbstractButton>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QGridLayout>
#include <QHostAddress>
#include <QLabel>
#include <QList>
#include <QMetaMethod>
#include <QNetworkDatagram>
#include <QStringList>
#include <QTest>
#include <QUdpSocket>
#include <QWidget>

namespace TestSupport {

// Stands in for a node's panel and keeps every datagram that routing hands it.
class RecordingPanel : public ItemView_t {
public:
    explicit RecordingPanel(const QHostAddress &sender)
        : ItemView_t(sender, {Ternix36::KindPlug, 105, 5, 3}) {
        _PlaceCommonFrame();
    }
    void _DataRead(const QByteArray &datagram) override { datagrams.append(datagram); }

    QList<QByteArray> datagrams;
};

// "C0 10 01" -> the three bytes.
inline QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// True inside the private network namespace that isolated.sh provides, where
// a test may add interfaces without touching the host.
inline bool inPrivateNetwork() {
    return qEnvironmentVariableIsSet("TERNIX36_TEST_NETNS");
}

// What a panel's address label shows for a node: its address with the scope
// of the window's interface, bare while the window has none.
inline QString scoped(const char *address) {
    const QString scope = pMainWindow ? pMainWindow->_InterfaceName() : QString();
    return QLatin1String(address) + (scope.isEmpty() ? QString() : u'%' + scope);
}

// Binds where a node would listen and collects what arrives.
class Catcher {
public:
    // Shares the port, so that a node on 4444 can sit beside the window's own
    // receive socket there; unicast goes to the more specific address, ours.
    Catcher(const QHostAddress &address, quint16 port) {
        bound = socket.bind(address, port, QUdpSocket::ShareAddress);
    }

    bool isBound() const { return bound; }

    // Waits until `count` datagrams have arrived in all; returns them all.
    QList<QNetworkDatagram> waitFor(int count, int timeoutMs = 5000) {
        QDeadlineTimer deadline(timeoutMs);
        while (drain() < count && !deadline.hasExpired())
            QTest::qWait(10);
        return received;
    }

    // Lets pending events run for a moment and returns what arrived.
    QList<QNetworkDatagram> settle(int ms = 200) {
        QTest::qWait(ms);
        drain();
        return received;
    }

    QList<QByteArray> payloads() const {
        QList<QByteArray> data;
        for (const QNetworkDatagram &datagram : received)
            data.append(datagram.data());
        return data;
    }

    // As waitFor, but runs no event while it waits, so that a timer under test
    // never ticks on its own; returns the payloads.
    QList<QByteArray> waitQuietlyFor(int count, int timeoutMs = 5000) {
        QDeadlineTimer deadline(timeoutMs);
        while (drain() < count && !deadline.hasExpired())
            socket.waitForReadyRead(int(qMin<qint64>(10, deadline.remainingTime())));
        return payloads();
    }

    void clear() { received.clear(); }

private:
    int drain() {
        while (socket.hasPendingDatagrams())
            received.append(socket.receiveDatagram());
        return int(received.size());
    }

    QUdpSocket socket;
    bool bound = false;
    QList<QNetworkDatagram> received;
};

// The widget a panel placed at (row, column) of its grid.
inline QWidget *cell(QWidget *panel, int row, int column) {
    auto *grid = qobject_cast<QGridLayout *>(panel->layout());
    if (!grid)
        return nullptr;
    QLayoutItem *item = grid->itemAtPosition(row, column);
    return item ? item->widget() : nullptr;
}

inline QString cellText(QWidget *panel, int row, int column) {
    auto *label = qobject_cast<QLabel *>(cell(panel, row, column));
    return label ? label->text() : QStringLiteral("<no label at %1,%2>").arg(row).arg(column);
}

// The title bar: the label whose text starts with "TERNIX36 ".
inline QLabel *title(QWidget *panel) {
    for (QLabel *label : panel->findChildren<QLabel *>())
        if (label->text().startsWith(QLatin1String("TERNIX36 ")))
            return label;
    return nullptr;
}

inline QColor titleColour(QWidget *panel) {
    QLabel *label = title(panel);
    return label ? label->palette().color(QPalette::Window) : QColor();
}

// Row, column, row span and column span of a widget in its panel's grid.
inline QList<int> placement(QWidget *panel, QWidget *widget) {
    auto *grid = qobject_cast<QGridLayout *>(panel->layout());
    const int index = grid && widget ? grid->indexOf(widget) : -1;
    if (index < 0)
        return {};
    int row, column, rowSpan, columnSpan;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return {row, column, rowSpan, columnSpan};
}

// Everything a panel shows: the title colour, then the text of every label
// and button in the order the panel holds them.
inline QStringList display(QWidget *panel) {
    QStringList shown{titleColour(panel).name()};
    for (QWidget *widget : panel->findChildren<QWidget *>()) {
        if (auto *label = qobject_cast<QLabel *>(widget))
            shown.append(label->text());
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            shown.append(button->text());
    }
    return shown;
}

// The slots a class adds to its base, in declaration order, with "private "
// in front of each private one.
inline QStringList ownSlots(const QObject *object) {
    const QMetaObject *meta = object->metaObject();
    QStringList found;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Slot)
            continue;
        const QString access = method.access() == QMetaMethod::Private ? "private " : "";
        found.append(access + QString::fromLatin1(method.methodSignature()));
    }
    return found;
}

// Hands a panel `report` cut to every length. A cut shorter than the 3-byte
// header changes nothing. Every cut lies at the start of two buffers that
// differ only after it (0x58 'X' bytes, zero bytes); two panels that read the
// two, as a later report and as their first one, show the same unless the
// panel reads beyond the datagram.
template <typename Panel>
void checkCutReports(const QByteArray &firstReport, const QByteArray &report) {
    const QHostAddress node(QStringLiteral("fe80::7e57"));
    Panel untouched(node, firstReport);
    for (qsizetype length = 0; length <= report.size(); ++length) {
        const QByteArray xs = report.left(length) + QByteArray(64, 'X');
        const QByteArray zeros = report.left(length) + QByteArray(64, '\0');
        const QByteArray overXs = QByteArray::fromRawData(xs.constData(), length);
        const QByteArray overZeros = QByteArray::fromRawData(zeros.constData(), length);
        const auto where = [&](QWidget *x, QWidget *zero) {
            return "cut to " + QByteArray::number(length) +
                   " bytes: " + display(x).join(u'|').toLatin1() + " / " +
                   display(zero).join(u'|').toLatin1();
        };

        Panel a(node, firstReport), b(node, firstReport);
        a._DataRead(overXs);
        b._DataRead(overZeros);
        QVERIFY2(display(&a) == display(&b), where(&a, &b).constData());
        if (length < 3) {
            QCOMPARE(display(&a), display(&untouched));
            continue; // and routing creates no panel from it
        }
        Panel c(node, overXs), d(node, overZeros);
        QVERIFY2(display(&c) == display(&d), where(&c, &d).constData());
    }
}

// A value label of fixed width 100 keeps that width while its text fits and
// is widened to a longer text, so that no digit or sign is cut off.
inline void checkValueFits(QLabel *label) {
    QVERIFY(label);
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    QCOMPARE(label->minimumWidth(), label->maximumWidth());
    QVERIFY2(label->width() >= textWidth || !label->isVisible(), qPrintable(label->text()));
    QCOMPARE(label->maximumWidth(), qMax(100, label->sizeHint().width()));
    QVERIFY2(label->maximumWidth() >= textWidth, qPrintable(label->text()));
}

} // namespace TestSupport
