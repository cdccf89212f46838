// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/DimmerDevice.h"

#include "protocol/DimmerWire.h"
#include "protocol/NodeKinds.h"
#include "protocol/ReportReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QTimer>

namespace {
const QString LightObject = QStringLiteral("light");
} // namespace

DimmerDevice_t::DimmerDevice_t(const QString &link, const QString &address, const Sender_t &send,
                               QObject *parent)
    : Device_t(link, address, Ternix36::_Title(Ternix36::KindDimmer), send, parent)
    , lastOnLevel(DimmerWire_t::MaximumLevel)
    , limiter(this, DimmerWire_t::LevelIntervalMs, [this](int wanted) {
        _Send(DimmerWire_t::_LevelCommand(wanted), DimmerWire_t::Port);
    }) {
    connect(limiter._Timer(), &QTimer::timeout, this, [this] { limiter._Tick(); });
}

void DimmerDevice_t::_Read(const ReportReader_t &report) {
    level = DimmerWire_t::_Level(report);
    if (level > 0)
        lastOnLevel = qMin(level, DimmerWire_t::MaximumLevel);
    name = report._NodeName();
}

QJsonObject DimmerDevice_t::_State() const {
    return {{"name", name},
            {"state", level > 0 ? "ON" : "OFF"},
            {"brightness", level},
            {"color_mode", "brightness"}};
}

QList<Device_t::Entity_t> DimmerDevice_t::_Entities() const {
    return {{"light",
             LightObject,
             {{"name", QJsonValue::Null},
              {"schema", "json"},
              {"supported_color_modes", QJsonArray{"brightness"}},
              {"brightness_scale", DimmerWire_t::MaximumLevel}},
             true,
             true}};
}

// {"state": "ON"|"OFF"} with an optional "brightness" of 0..100.
Device_t::Command_t DimmerDevice_t::_Command(const QString &object, const QByteArray &payload) {
    if (object != LightObject)
        return Command_t::Malformed;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Command_t::Malformed;
    const QJsonObject command = document.object();
    const QString state = command.value(QLatin1String("state")).toString();
    if (state != u"ON" && state != u"OFF")
        return Command_t::Malformed;

    int wanted = 0;
    if (state == u"ON") {
        wanted = lastOnLevel;
        const QJsonValue brightness = command.value(QLatin1String("brightness"));
        if (!brightness.isUndefined()) {
            const double value = brightness.toDouble(-1);
            if (!brightness.isDouble() || value < 0 || value > DimmerWire_t::MaximumLevel ||
                value != int(value))
                return Command_t::Malformed;
            wanted = int(value);
        }
    }
    if (wanted > 0)
        lastOnLevel = wanted;
    limiter._Want(wanted);
    return Command_t::Sent;
}
