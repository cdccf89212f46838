// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/NodeFactory.h"

#include "sim/ADPlugNode.h"
#include "sim/BlindsNode.h"
#include "sim/BrightNode.h"
#include "sim/DimmerNode.h"
#include "sim/PlugNode.h"

#include <QStringList>

namespace {

struct KindWord_t {
    const char *word;
    Ternix36::NodeKind kind;
};

constexpr KindWord_t KindWords[] = {
    {"plug", Ternix36::KindPlug},     {"adplug", Ternix36::KindADPlug},
    {"bright", Ternix36::KindBright}, {"bright2", Ternix36::KindBright2},
    {"dimmer", Ternix36::KindDimmer}, {"blinds", Ternix36::KindBlinds},
};

} // namespace

std::optional<Ternix36::NodeKind> _KindFromWord(const QString &word) {
    for (const KindWord_t &entry : KindWords)
        if (word == QLatin1String(entry.word))
            return entry.kind;
    return std::nullopt;
}

QString _WordOfKind(Ternix36::NodeKind kind) {
    for (const KindWord_t &entry : KindWords)
        if (entry.kind == kind)
            return QLatin1String(entry.word);
    return QString();
}

QString _KindWords() {
    QStringList words;
    for (const KindWord_t &entry : KindWords)
        words.append(QLatin1String(entry.word));
    return words.join(QLatin1String(", "));
}

SimNode_t *_CreateNode(Ternix36::NodeKind kind, const QHostAddress &address, const QByteArray &name,
                       QObject *parent) {
    const Ternix36::KindEntry_t *entry = Ternix36::_FindKind(kind);
    if (!entry)
        return nullptr;
    switch (entry->type) {
    case Ternix36::_NodeType::_Plug:
        return new PlugNode_t(address, name, parent);
    case Ternix36::_NodeType::_ADPlug:
        return new ADPlugNode_t(address, name, parent);
    case Ternix36::_NodeType::_Bright:
        return new BrightNode_t(kind, address, name, parent);
    case Ternix36::_NodeType::_Dimmer:
        return new DimmerNode_t(address, name, parent);
    case Ternix36::_NodeType::_Blinds:
        return new BlindsNode_t(address, name, parent);
    }
    return nullptr;
}
