// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/Protocol.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// One --node KIND@ADDRESS[=NAME].
struct NodeOption_t {
    Ternix36::NodeKind kind = Ternix36::KindPlug;
    QHostAddress address;   // without scope: the interface gives it
    QByteArray name;        // Latin-1, at most 127 bytes
    int silentAfterMs = -1; // --silent-after: sends nothing from then on; -1: never
};

struct SimOptions_t {
    bool help = false;
    QString interfaceName;
    QList<NodeOption_t> nodes;
    QString logPath;
    int reportEveryMs = 0; // 0: nodes report only when asked or by their own rules
};

// Reads the arguments after the program name. On a bad argument it returns
// false with a one-line reason in `error`; --help sets `help`.
bool _ParseSimOptions(const QStringList &arguments, SimOptions_t &options, QString *error);

QString _SimHelpText();
