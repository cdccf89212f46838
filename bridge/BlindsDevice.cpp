// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/BlindsDevice.h"

#include "protocol/BlindsWire.h"
#include "protocol/ReportReader.h"

namespace {
const QString CoverObject = QStringLiteral("cover");
} // namespace

BlindsDevice_t::BlindsDevice_t(const QString &link, const QString &address, const Sender_t &send,
                               QObject *parent)
    : Device_t(Ternix36::KindBlinds, link, address, send, parent) {
}

void BlindsDevice_t::_Read(const ReportReader_t &report) {
    // The blinds report no name. A state code of no meaning changes nothing shown.
    switch (BlindsWire_t::_State(report)) {
    case BlindsWire_t::Off:
        state = QStringLiteral("stopped");
        break;
    case BlindsWire_t::Down:
        state = QStringLiteral("closing");
        break;
    case BlindsWire_t::Up:
        state = QStringLiteral("opening");
        break;
    default:
        break;
    }
}

QJsonObject BlindsDevice_t::_State() const {
    return {{"state", state}};
}

QList<Device_t::Entity_t> BlindsDevice_t::_Entities() const {
    return {{"cover",
             CoverObject,
             {{"name", QJsonValue::Null},
              // The drive reports no position: optimistic, so that Home
              // Assistant keeps both directions usable from "stopped".
              {"device_class", "blind"},
              {"optimistic", true},
              {"value_template", "{{ value_json.state }}"},
              {"payload_open", "OPEN"},
              {"payload_close", "CLOSE"},
              {"payload_stop", "STOP"},
              {"state_opening", "opening"},
              {"state_closing", "closing"},
              {"state_stopped", "stopped"}},
             true,
             true}};
}

// The hub names the direction it wants, so it is sent as asked, without the
// panel's rule that either button stops moving blinds.
Device_t::Command_t BlindsDevice_t::_Command(const QString &object, const QByteArray &payload) {
    if (object != CoverObject)
        return Command_t::Malformed;
    qint8 direction;
    if (payload == "OPEN")
        direction = BlindsWire_t::Up;
    else if (payload == "CLOSE")
        direction = BlindsWire_t::Down;
    else if (payload == "STOP")
        direction = BlindsWire_t::Off;
    else
        return Command_t::Malformed;
    _Send(BlindsWire_t::_DriveCommand(direction), BlindsWire_t::Port);
    return Command_t::Sent;
}
