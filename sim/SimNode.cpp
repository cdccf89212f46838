// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimNode.h"

#include <QRandomGenerator>
#include <QtEndian>

namespace {
// Nodes answer with this operation byte; the program never examines it.
constexpr char ReportOperation = 0x00;
} // namespace

SimNode_t::SimNode_t(Ternix36::NodeKind kind, const QHostAddress &address, const QByteArray &name,
                     QObject *parent)
    : QObject(parent)
    , kind(kind)
    , address(address)
    , name(name) {
}

QByteArray SimNode_t::_Header() const {
    QByteArray header = Ternix36::CommandHeader(0, kind);
    header[0] = ReportOperation;
    return header;
}

QByteArray SimNode_t::_NameTrailer() const {
    // Names are checked to fit a signed length byte when the options are read.
    return char(name.size()) + name;
}

bool SimNode_t::_HasHeader(const QByteArray &command, quint8 operation, Ternix36::NodeKind kind) {
    return command.startsWith(Ternix36::CommandHeader(operation, kind));
}

void SimNode_t::_AppendS32(QByteArray &report, qint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    report.append(bytes, sizeof bytes);
}

qint32 SimNode_t::_Drift(qint32 value, qint32 low, qint32 high, qint32 maxStep) {
    const qint32 step = QRandomGenerator::global()->bounded(1, maxStep + 1);
    const bool up =
        value - step < low || (value + step <= high && QRandomGenerator::global()->bounded(2));
    return up ? value + step : value - step;
}
