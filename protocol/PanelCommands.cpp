// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/PanelCommands.h"

#include "protocol/ADPlugWire.h"
#include "protocol/BlindsWire.h"
#include "protocol/BrightWire.h"
#include "protocol/DimmerWire.h"
#include "protocol/NodeKinds.h"
#include "protocol/PlugWire.h"

#include <QList>

namespace {
// The commands a panel of the type sends, with any values in them: only
// their first three bytes and length count.
QList<QByteArray> _Commands(Ternix36::_NodeType type) {
    using Ternix36::_NodeType;
    switch (type) {
    case _NodeType::_Plug:
        return {PlugWire_t::_SwitchCommand()};
    case _NodeType::_ADPlug:
        return {ADPlugWire_t::_SwitchCommand(true)};
    case _NodeType::_Bright:
        return {BrightWire_t::_PollCommand(), BrightWire_t::_ConfigureCommand(0, 0, 0, 0)};
    case _NodeType::_Dimmer:
        return {DimmerWire_t::_LevelCommand(0)};
    case _NodeType::_Blinds:
        return {BlindsWire_t::_DriveCommand(BlindsWire_t::Off)};
    }
    return {};
}
} // namespace

bool _IsPanelCommand(Ternix36::NodeKind nodeKind, const QByteArray &datagram) {
    const Ternix36::KindEntry_t *entry = Ternix36::_FindKind(nodeKind);
    if (!entry || datagram.size() < Ternix36::HeaderSize)
        return false;
    for (const QByteArray &command : _Commands(entry->type))
        if (datagram.size() == command.size() &&
            datagram.left(Ternix36::HeaderSize) == command.left(Ternix36::HeaderSize))
            return true;
    return false;
}
