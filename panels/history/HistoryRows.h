// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeHistory.h"

#include <QList>
#include <QStringList>

// A node's history as the rows of text its table shows, newest first: time,
// event, answer, then each quantity the kind reports, written as its panel
// writes them.
namespace HistoryRows {

struct Row_t {
    qint64 ms;
    QStringList cells;
};

QStringList _Headers(Ternix36::_NodeType type);
QList<Row_t> _Rows(const NodeHistory_t &history);

// Comma-separated values, a line per row: fields with a comma, quote or line
// break are quoted, their quotes doubled.
QString _Csv(const QList<QStringList> &rows);

} // namespace HistoryRows
