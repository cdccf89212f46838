// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/RouteHarness.h"

#include "app/MainWindow.h"
#include "fuzz/FuzzInput.h"
#include "panels/ItemView.h"
#include "protocol/NodeMap.h"
#include "protocol/Protocol.h"
#include "protocol/Route.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QHostAddress>
#include <QLineEdit>
#include <QList>
#include <QMap>
#include <QSlider>

namespace {

enum Step : uint8_t {
    StepDatagram,
    StepDatagram2,
    StepDatagram3,
    StepPress,
    StepDimmer,
    StepType,
    StepInterface,
    StepEvents,
    StepCount
};

constexpr int MaxDatagramLength = 1500;

// Addresses that reach nothing inside a private namespace, several forms of
// one node among them: other scopes, an IPv4 sender and its IPv6 mapping.
// None of them is this machine's: a panel for the null address or "::" would
// send its commands to this host, and they would come back as datagrams from
// a new sender that the input did not send.
const QList<QHostAddress> &_Senders() {
    static const QList<QHostAddress> senders = {
        QHostAddress(QStringLiteral("fe80::1")),
        QHostAddress(QStringLiteral("fe80::1%1")),
        QHostAddress(QStringLiteral("fe80::2")),
        QHostAddress(QStringLiteral("fe80::3")),
        QHostAddress(QStringLiteral("fe80::ffff:ffff:ffff:ffff")),
        QHostAddress(QStringLiteral("fd00::10")),
        QHostAddress(QStringLiteral("2001:db8::1")),
        QHostAddress(QStringLiteral("192.0.2.1")),
        QHostAddress(QStringLiteral("::ffff:192.0.2.1")),
        QHostAddress(QStringLiteral("fe80::1%2")),
        QHostAddress(QStringLiteral("2001:db8::ffff:1")),
        QHostAddress(QStringLiteral("fe80::4")),
    };
    return senders;
}

// The panel class a NodeKind calls for, as the operator would see it.
const char *_ExpectedClass(const QByteArray &datagram) {
    if (datagram.size() < Ternix36::HeaderSize)
        return nullptr;
    switch (quint8(datagram[1]) | quint8(datagram[2]) << 8) {
    case Ternix36::KindPlug:
        return "PlugView_t";
    case Ternix36::KindBright:
    case Ternix36::KindBright2:
        return "BrightView_t";
    case Ternix36::KindADPlug:
        return "ADPlugView_t";
    case Ternix36::KindBlinds:
        return "BlindsView_t";
    case Ternix36::KindDimmer:
        return "DimmerView_t";
    default:
        return nullptr;
    }
}

template <typename Widget> Widget *_Pick(const QList<Widget *> &widgets, uint8_t index) {
    return widgets.isEmpty() ? nullptr : widgets.at(index % widgets.size());
}

class RoutePlay_t {
public:
    QString _Play(FuzzInput_t &input);

private:
    void _Datagram(FuzzInput_t &input);
    ItemView_t *_Panel(uint8_t index) const;
    QString _Check() const;

    // What routing must have done so far: the class of each node's panel.
    QMap<NodeKey_t, QByteArray> expected;
    QMap<NodeKey_t, ItemView_t *> panels;
    QString problem;
};

QString RoutePlay_t::_Play(FuzzInput_t &input) {
    while (!input._AtEnd() && problem.isEmpty()) {
        const uint8_t step = input._Byte() % StepCount;
        switch (step) {
        case StepDatagram:
        case StepDatagram2:
        case StepDatagram3:
            _Datagram(input);
            break;
        case StepPress:
            if (ItemView_t *panel = _Panel(input._Byte())) {
                if (auto *button = _Pick(panel->findChildren<QAbstractButton *>(), input._Byte()))
                    button->click();
            }
            break;
        case StepDimmer:
            if (ItemView_t *panel = _Panel(input._Byte())) {
                const int value = int16_t(input._U16());
                const uint8_t then = input._Byte();
                if (auto *slider = panel->findChild<QSlider *>()) {
                    slider->setValue(value);
                    if (then & 1)
                        QMetaObject::invokeMethod(panel, "_Timeout");
                    if (then & 2) // the slot that no signal reaches
                        QMetaObject::invokeMethod(panel, "_Poll");
                }
            }
            break;
        case StepType:
            if (ItemView_t *panel = _Panel(input._Byte())) {
                QLineEdit *field = _Pick(panel->findChildren<QLineEdit *>(), input._Byte());
                const uint8_t mode = input._Byte();
                const QByteArray bytes = input._Bytes(input._Byte());
                const QString text =
                    (mode & 1) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
                if (field && (mode & 2))
                    field->insert(text);
                else if (field)
                    field->setText(text);
            }
            break;
        case StepInterface:
            if (auto *box = pMainWindow->findChild<QComboBox *>())
                if (box->count() > 0)
                    box->setCurrentIndex(input._Byte() % box->count());
            break;
        case StepEvents:
            QCoreApplication::processEvents();
            break;
        }
        if (problem.isEmpty())
            problem = _Check();
    }
    QCoreApplication::processEvents();
    return problem.isEmpty() ? _Check() : problem;
}

void RoutePlay_t::_Datagram(FuzzInput_t &input) {
    const QHostAddress &sender = _Senders().at(input._Byte() % _Senders().size());
    const int length = input._U16() % (MaxDatagramLength + 1);
    const ExactDatagram_t exact(input._Bytes(size_t(length)));
    const QByteArray &datagram = exact._Datagram();
    const NodeKey_t key = _NodeKey(sender);

    const bool known = expected.contains(key);
    const char *newClass = known ? nullptr : _ExpectedClass(datagram);
    _RouteDatagram(sender, datagram);

    ItemView_t *panel = NodeMap.value(key, nullptr);
    if (known && panel != panels.value(key))
        problem = QStringLiteral("a known node's datagram changed its panel");
    else if (!known && !newClass && panel)
        problem = QStringLiteral("a panel for a datagram that names no kind");
    else if (newClass && !panel)
        problem = QStringLiteral("no panel for kind %1").arg(QLatin1String(newClass));
    else if (newClass && qstrcmp(panel->metaObject()->className(), newClass) != 0)
        problem =
            QStringLiteral("a %1 where the kind calls for a %2")
                .arg(QLatin1String(panel->metaObject()->className()), QLatin1String(newClass));
    if (newClass && panel) {
        expected.insert(key, newClass);
        panels.insert(key, panel);
    }
}

ItemView_t *RoutePlay_t::_Panel(uint8_t index) const {
    const QList<ItemView_t *> all = NodeMap.values();
    return _Pick(all, index);
}

QString RoutePlay_t::_Check() const {
    if (NodeMap.size() != expected.size())
        return QStringLiteral("%1 nodes known, %2 expected")
            .arg(NodeMap.size())
            .arg(expected.size());
    for (auto node = NodeMap.cbegin(); node != NodeMap.cend(); ++node) {
        if (panels.value(node.key()) != node.value())
            return QStringLiteral("a node's panel was replaced");
        if (!pMainWindow->isAncestorOf(node.value()))
            return QStringLiteral("a panel that is not in the main window");
    }
    return QString();
}

// Each input starts with no node known and no panel in the column.
void _ForgetAllNodes() {
    const QList<ItemView_t *> all = NodeMap.values();
    for (ItemView_t *panel : all)
        pMainWindow->_RemoveItem(panel);
}

} // namespace

QString _PlayRouteInput(const uint8_t *data, size_t size) {
    _ForgetAllNodes();
    FuzzInput_t input(data, size);
    RoutePlay_t play;
    const QString problem = play._Play(input);
    _ForgetAllNodes();
    return problem;
}
