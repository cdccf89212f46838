#pragma once

// Helpers shared by the tests: hex literals, a UDP catcher that plays the
// node's side of a command, and access to panel widgets by grid position.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QGridLayout>
#include <QHostAddress>
#include <QLabel>
#include <QList>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <QWidget>

namespace TestSupport {

// "C0 10 01" -> the three bytes.
inline QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// True inside the private network namespace that isolated.sh provides, where
// a test may add interfaces without touching the host.
inline bool inPrivateNetwork() {
    return qEnvironmentVariableIsSet("TERNIX36_TEST_NETNS");
}

// Binds where a node would listen and collects what arrives.
class Catcher {
public:
    Catcher(const QHostAddress &address, quint16 port) { bound = socket.bind(address, port); }

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

} // namespace TestSupport
