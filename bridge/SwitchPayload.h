// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bridge/Device.h"

// The switch entity that both plugs offer, with Home Assistant's default
// payloads ON and OFF on its command topic and in the state's "state".
namespace SwitchPayload {

inline const QString Object = QStringLiteral("switch");

QString _Text(bool on);
// ON or OFF exactly; false for anything else.
bool _Parse(const QByteArray &payload, bool *on);
Device_t::Entity_t _Entity();

} // namespace SwitchPayload
