// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimOptions.h"

#include "sim/NodeFactory.h"

#include <QCommandLineParser>
#include <QHash>
#include <QPair>
#include <QSet>

#include <algorithm>

#include <cmath>

namespace {

constexpr int MaximumNameLength = 127; // the name length byte is signed
constexpr double MinimumReportEvery = 0.05;
constexpr double MaximumReportEvery = 86400;

bool _ParseNode(const QString &text, NodeOption_t &node, QString *error) {
    const qsizetype at = text.indexOf(QLatin1Char('@'));
    if (at < 0) {
        *error = QStringLiteral("--node %1: expected KIND@ADDRESS[=NAME]").arg(text);
        return false;
    }
    const QString word = text.left(at);
    const std::optional<Ternix36::NodeKind> kind = _KindFromWord(word);
    if (!kind) {
        *error = QStringLiteral("--node %1: unknown kind \"%2\" (one of %3)")
                     .arg(text, word, _KindWords());
        return false;
    }
    node.kind = *kind;

    const qsizetype equals = text.indexOf(QLatin1Char('='), at + 1);
    const QString addressText = text.mid(at + 1, equals < 0 ? -1 : equals - at - 1);
    if (addressText.contains(QLatin1Char('%'))) {
        *error = QStringLiteral("--node %1: give the address without a scope; --interface sets it")
                     .arg(text);
        return false;
    }
    node.address = QHostAddress(addressText);
    if (node.address.protocol() != QAbstractSocket::IPv6Protocol || node.address.isMulticast() ||
        node.address.isLoopback() || node.address == QHostAddress::AnyIPv6) {
        *error = QStringLiteral("--node %1: \"%2\" is not an IPv6 unicast address")
                     .arg(text, addressText);
        return false;
    }

    const QString name = equals < 0 ? word : text.mid(equals + 1);
    for (QChar c : name) {
        if (c.unicode() == 0 || c.unicode() > 0xFF) {
            *error = QStringLiteral("--node %1: the name must be Latin-1 text without zero bytes")
                         .arg(text);
            return false;
        }
    }
    if (name.size() > MaximumNameLength) {
        *error = QStringLiteral("--node %1: the name is longer than %2 characters")
                     .arg(text)
                     .arg(MaximumNameLength);
        return false;
    }
    node.name = name.toLatin1();
    return true;
}

bool _ParseReportEvery(const QString &text, int &milliseconds, QString *error) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < MinimumReportEvery ||
        seconds > MaximumReportEvery) {
        *error = QStringLiteral("--report-every %1: expected seconds from %2 to %3")
                     .arg(text)
                     .arg(MinimumReportEvery)
                     .arg(MaximumReportEvery);
        return false;
    }
    milliseconds = int(std::lround(seconds * 1000));
    return true;
}

// --silent-after SECONDS@ADDRESS, for a node given with --node before or after.
bool _ParseSilentAfter(const QString &text, QList<QPair<QHostAddress, int>> &silences,
                       QString *error) {
    const qsizetype at = text.indexOf(QLatin1Char('@'));
    bool ok = false;
    const double seconds = at < 0 ? 0 : text.left(at).toDouble(&ok);
    const QHostAddress address(at < 0 ? QString() : text.mid(at + 1));
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > MaximumReportEvery ||
        address.protocol() != QAbstractSocket::IPv6Protocol) {
        *error = QStringLiteral("--silent-after %1: expected SECONDS@ADDRESS, seconds from 0 to %2")
                     .arg(text)
                     .arg(MaximumReportEvery);
        return false;
    }
    silences.append({address, int(std::lround(seconds * 1000))});
    return true;
}

// QCommandLineParser::parse() skips the first argument, the program's.
QStringList _WithProgram(const QStringList &arguments) {
    return QStringList(QStringLiteral("ternix36-sim")) + arguments;
}

// How many arguments come before the first stray one, neither an option nor
// an option's value. The parser reports strays without their place; the
// shortest start of the arguments that holds one ends with it, and a stray
// stays one in every longer start, so halving finds it. parse()'s own verdict
// is not asked: it also fails a start cut between an option and its value.
qsizetype _CountBeforeStray(QCommandLineParser &parser, const QStringList &arguments) {
    const auto hasStray = [&](qsizetype count) {
        parser.parse(_WithProgram(arguments.first(count)));
        return !parser.unknownOptionNames().isEmpty() || !parser.positionalArguments().isEmpty();
    };
    if (!hasStray(arguments.size()))
        return arguments.size();
    qsizetype clean = 0;
    qsizetype stray = arguments.size();
    while (stray - clean > 1) {
        const qsizetype middle = clean + (stray - clean) / 2;
        (hasStray(middle) ? stray : clean) = middle;
    }
    return clean;
}

} // namespace

bool _ParseSimOptions(const QStringList &arguments, SimOptions_t &options, QString *error) {
    options = SimOptions_t();
    // The help text is _SimHelpText(), so the options carry no descriptions.
    QCommandLineParser parser;
    [[maybe_unused]] const bool added = parser.addOptions(
        {QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
         QCommandLineOption(QStringLiteral("interface"), QString(), QStringLiteral("IF")),
         QCommandLineOption(QStringLiteral("node"), QString(),
                            QStringLiteral("KIND@ADDRESS[=NAME]")),
         QCommandLineOption(QStringLiteral("log"), QString(), QStringLiteral("FILE")),
         QCommandLineOption(QStringLiteral("report-every"), QString(), QStringLiteral("SECONDS")),
         QCommandLineOption(QStringLiteral("silent-after"), QString(),
                            QStringLiteral("SECONDS@ADDRESS"))});
    Q_ASSERT(added);

    // The options are taken in their order up to the first stray argument, so
    // that the first bad argument is the one reported and --help shows the
    // help whatever follows it. What parse() rejects here is either a last
    // option without its value, found below, or a value after --help.
    const qsizetype readable = _CountBeforeStray(parser, arguments);
    parser.parse(_WithProgram(arguments.first(readable)));
    QSet<QString> addresses;
    QList<QPair<QHostAddress, int>> silences;
    QHash<QString, qsizetype> valuesTaken;
    const QStringList names = parser.optionNames();
    for (const QString &name : names) {
        if (name == u"h" || name == u"help") {
            options.help = true;
            return true;
        }
        const QStringList values = parser.values(name);
        const qsizetype index = valuesTaken[name]++;
        if (index >= values.size()) {
            *error = QStringLiteral("--%1 needs a value").arg(name);
            return false;
        }
        const QString &value = values[index];

        if (name == u"interface") {
            if (value.isEmpty()) {
                *error = QStringLiteral("--interface needs an interface name");
                return false;
            }
            options.interfaceName = value;
        } else if (name == u"node") {
            NodeOption_t node;
            if (!_ParseNode(value, node, error))
                return false;
            const QString key = node.address.toString();
            if (addresses.contains(key)) {
                *error = QStringLiteral("--node %1: two nodes with the address %2").arg(value, key);
                return false;
            }
            addresses.insert(key);
            options.nodes.append(node);
        } else if (name == u"log") {
            if (value.isEmpty()) {
                *error = QStringLiteral("--log needs a file name");
                return false;
            }
            options.logPath = value;
        } else if (name == u"silent-after") {
            if (!_ParseSilentAfter(value, silences, error))
                return false;
        } else if (!_ParseReportEvery(value, options.reportEveryMs, error)) {
            return false;
        }
    }
    if (readable < arguments.size()) {
        *error = QStringLiteral("unknown argument \"%1\" (see --help)").arg(arguments[readable]);
        return false;
    }

    if (options.interfaceName.isEmpty()) {
        *error = QStringLiteral("--interface is missing (see --help)");
        return false;
    }
    if (options.nodes.isEmpty()) {
        *error = QStringLiteral("no --node given (see --help)");
        return false;
    }
    for (const QPair<QHostAddress, int> &silence : std::as_const(silences)) {
        const auto node =
            std::find_if(options.nodes.begin(), options.nodes.end(),
                         [&silence](const NodeOption_t &n) { return n.address == silence.first; });
        if (node == options.nodes.end()) {
            *error =
                QStringLiteral("--silent-after: no --node at %1").arg(silence.first.toString());
            return false;
        }
        node->silentAfterMs = silence.second;
    }
    return true;
}

QString _SimHelpText() {
    return QStringLiteral(
        "Usage: ternix36-sim --interface IF --node KIND@ADDRESS[=NAME] [--node ...]\n"
        "                    [--log FILE] [--report-every SECONDS]\n"
        "                    [--silent-after SECONDS@ADDRESS ...]\n"
        "\n"
        "Plays TERNIX36 nodes on one IPv6 link, each from its own address, so that\n"
        "ternix36-control can be tried without hardware.\n"
        "\n"
        "  --interface IF          the interface of the link; every ADDRESS must be\n"
        "                          assigned to it (and not tentative)\n"
        "  --node KIND@ADDRESS[=NAME]\n"
        "                          one node; KIND is plug, adplug, bright, bright2\n"
        "                          (kind 0x0112), dimmer or blinds; ADDRESS without\n"
        "                          scope; NAME is Latin-1, at most 127 characters\n"
        "                          (default: the kind word)\n"
        "  --log FILE              write one JSON line per datagram received and per\n"
        "                          report sent: time, event, note, node, kind, src,\n"
        "                          sport, dst, dport, ifindex, hex (the bytes)\n"
        "  --report-every SECONDS  every node also reports unasked at this period\n"
        "  --silent-after SECONDS@ADDRESS\n"
        "                          the node at ADDRESS sends nothing once SECONDS\n"
        "                          have passed since the start, as if switched off\n"
        "  -h, --help              this text\n"
        "\n"
        "The probe (00 01 .. 09 to port 40000, normally to ff02::1) is answered with\n"
        "one report per node, from the node's address to the prober at port 4444.\n"
        "Each node takes its commands at its address on its kind's port (40000 for\n"
        "plug and blinds, 4444 for the others) and answers each with a fresh report\n"
        "to the sender at port 4444. Unasked reports go to whoever last probed or\n"
        "commanded the node. Malformed commands are logged and otherwise ignored.\n"
        "\n"
        "Nodes:\n"
        "  plug    starts on; C0 10 01 toggles it. On: N = 8, real and apparent\n"
        "          power drifting around 40 W (hundredths of a watt); off: N = 0.\n"
        "  adplug  starts off; C0 20 01 SS switches it to SS (0 off, 1 on). N = 9:\n"
        "          state at byte 4, then real and apparent power (around 115 W\n"
        "          while on, 0 while off).\n"
        "  bright, bright2\n"
        "          C0 11 01 polls: N = 8, temperature in tenths of a degree (around\n"
        "          21.5) and brightness, a fresh measurement each time. 80 11 01\n"
        "          configures: measure interval u16, poll interval u16 (seconds),\n"
        "          delta temperature s32 (tenths), delta brightness s32; a poll\n"
        "          interval above 0 makes the sensor report on its own at that\n"
        "          interval; a measure interval above 0 makes it measure at that\n"
        "          interval and report at once when a reading moved by at least a\n"
        "          delta above 0. Both kinds take commands of kind 0x0111 or their\n"
        "          own.\n"
        "  dimmer  starts at 0; C0 30 01 01 LL sets the level LL & 0x7F (0..100,\n"
        "          bit 7 set). N = 1: the level with bit 7 set.\n"
        "  blinds  C0 21 01 01 drives down, 03 up, 00 stops; a drive stops by\n"
        "          itself after 3 seconds. Every change is reported: header and\n"
        "          state byte (0 off, 1 down, 3 up), no name.\n"
        "\n"
        "Exit status: 2 for a bad argument, 1 when a socket cannot be bound.\n");
}
