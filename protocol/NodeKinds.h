// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/Protocol.h"

#include <QString>

namespace Ternix36 {

// What a node is, whichever of its kind codes it reports: the window makes a
// panel, the bridge a device and the simulator a node of each type.
enum class _NodeType { _Plug, _ADPlug, _Bright, _Dimmer, _Blinds };

struct KindEntry_t {
    NodeKind kind;
    _NodeType type;
    // Where a node of this kind takes its commands.
    quint16 commandPort;
    // "Plug" gives the panel's title and the bridge's model "TERNIX36 Plug".
    const char *titleWord;
};

// The kind table: every NodeKind the program knows.
inline constexpr KindEntry_t Kinds[] = {
    {KindPlug, _NodeType::_Plug, NodePort, "Plug"},
    {KindBright, _NodeType::_Bright, ProgramPort, "Bright"},
    {KindBright2, _NodeType::_Bright, ProgramPort, "Bright"},
    {KindADPlug, _NodeType::_ADPlug, ProgramPort, "ADPlug"},
    {KindBlinds, _NodeType::_Blinds, NodePort, "Blinds"},
    {KindDimmer, _NodeType::_Dimmer, ProgramPort, "Dimmer"},
};

// The entry of a kind code, or nullptr for a code no node of the program has.
constexpr const KindEntry_t *_FindKind(quint16 code) {
    for (const KindEntry_t &entry : Kinds)
        if (entry.kind == code)
            return &entry;
    return nullptr;
}

constexpr quint16 CommandPort(NodeKind kind) {
    return _FindKind(kind)->commandPort;
}

constexpr const char *TitleWord(NodeKind kind) {
    return _FindKind(kind)->titleWord;
}

// "TERNIX36 Plug": a panel's title, and the model of a bridge's device.
QString _Title(const char *titleWord);
inline QString _Title(NodeKind kind) {
    return _Title(TitleWord(kind));
}

} // namespace Ternix36
