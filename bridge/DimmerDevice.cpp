// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/DimmerDevice.h"

#include "protocol/DimmerWire.h"
#include "protocol/ReportReader.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QTimer>

namespace {
const QString LightObject = QStringLiteral("light");
const QString BrightnessObject = QStringLiteral("brightness");

// A whole number of 0..100, as Home Assistant writes it; -1 for anything else.
int _Level(const QByteArray &text) {
    bool ok = false;
    const int level = text.trimmed().toInt(&ok);
    return ok && level >= 0 && level <= DimmerWire_t::MaximumLevel ? level : -1;
}
} // namespace

DimmerDevice_t::DimmerDevice_t(const QString &link, const QString &address, const Sender_t &send,
                               QObject *parent)
    : Device_t(Ternix36::KindDimmer, link, address, send, parent)
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

// Home Assistant's scale ends at 100: a node that reports more is at full
// brightness there (the window shows what the node sent).
QJsonObject DimmerDevice_t::_State() const {
    return {{"name", name},
            {"state", level > 0 ? "ON" : "OFF"},
            {"brightness", qMin(level, DimmerWire_t::MaximumLevel)}};
}

// Brightness only, on a scale of 100: Home Assistant sends a level where it
// would send ON (on_command_type), so that turning the light on to a level is
// one command, not ON and then the level. No flash, no transition: the node
// has neither.
QList<Device_t::Entity_t> DimmerDevice_t::_Entities() const {
    Entity_t light{"light",
                   LightObject,
                   {{"name", QJsonValue::Null},
                    {"state_value_template", "{{ value_json.state }}"},
                    {"brightness_value_template", "{{ value_json.brightness }}"},
                    {"brightness_scale", DimmerWire_t::MaximumLevel},
                    {"on_command_type", "brightness"}},
                   true,
                   true};
    light.moreStateTopics = {QStringLiteral("brightness_state_topic")};
    light.moreCommandTopics = {{QStringLiteral("brightness_command_topic"), BrightnessObject}};
    return {light};
}

Device_t::Command_t DimmerDevice_t::_Command(const QString &object, const QByteArray &payload) {
    if (object == BrightnessObject) {
        const int wanted = _Level(payload);
        return wanted < 0 ? Command_t::Malformed : _Want(wanted);
    }
    if (object == LightObject)
        return _LightCommand(payload);
    return Command_t::Malformed;
}

Device_t::Command_t DimmerDevice_t::_LightCommand(const QByteArray &payload) {
    if (payload == "ON")
        return _Want(lastOnLevel);
    if (payload == "OFF")
        return _Want(0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Command_t::Malformed;
    const QJsonObject command = document.object();
    const QString state = command.value(QLatin1String("state")).toString();
    if (state == u"OFF")
        return _Want(0);
    if (state != u"ON")
        return Command_t::Malformed;
    const QJsonValue brightness = command.value(QLatin1String("brightness"));
    if (brightness.isUndefined())
        return _Want(lastOnLevel);
    const double value = brightness.toDouble(-1);
    if (!brightness.isDouble() || value < 0 || value > DimmerWire_t::MaximumLevel ||
        value != int(value))
        return Command_t::Malformed;
    return _Want(int(value));
}

Device_t::Command_t DimmerDevice_t::_Want(int wanted) {
    if (wanted > 0)
        lastOnLevel = wanted;
    limiter._Want(wanted);
    return Command_t::Sent;
}
