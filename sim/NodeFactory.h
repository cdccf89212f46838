// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeKinds.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

class QObject;
class SimNode_t;

// The kind words of the command line: plug, adplug, bright, bright2, dimmer,
// blinds.
std::optional<Ternix36::NodeKind> _KindFromWord(const QString &word);
QString _WordOfKind(Ternix36::NodeKind kind);
QString _KindWords();

SimNode_t *_CreateNode(Ternix36::NodeKind kind, const QHostAddress &address, const QByteArray &name,
                       QObject *parent);
