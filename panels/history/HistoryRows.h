// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/history/HistoryQuantity.h"
#include "protocol/NodeHistory.h"

#include <QHash>
#include <QList>
#include <QStringList>

// A node's history as rows, newest first: time, event and answer, then each
// quantity the kind reports (and, for the sensor, the values a Configure
// sent). The table shows each row's texts as the panel writes them; the
// copied text has the numbers, a column per number, the units in the headers
// and the times in ISO 8601.
namespace HistoryRows {

struct Row_t {
    qint64 ms;
    QStringList cells;   // the table's
    QStringList numbers; // the copied text's, when asked for
};

QStringList _Headers(Ternix36::_NodeType type);
QStringList _CopyHeaders(Ternix36::_NodeType type);

// Local times as the rows write them. The system's conversion looks at the
// time zone file every time: the offset from UTC is looked up once for each
// quarter of an hour instead, as offsets change on the hour or half hour.
class LocalTimes_t {
public:
    QString _Text(qint64 ms); // "2027-01-15 08:00:02.250"
    QString _Iso(qint64 ms);  // "2027-01-15T08:00:02.250+01:00"

private:
    int _OffsetSeconds(qint64 ms);
    QString _Format(qint64 ms, QChar between);

    QHash<qint64, int> offsets;
};

// A history at one moment, as its rows, newest first. It holds a copy of the
// records, and makes a row's texts only when they are asked for: a refresh
// every second costs the rows in view, not all of them.
class Table_t {
public:
    Table_t() = default;
    explicit Table_t(const NodeHistory_t &history);

    int _Count() const { return int(rows.size()); }
    Row_t _Row(int row, bool withNumbers) const;
    // What tells a row from the others across refreshes: its time and kind.
    QString _Key(int row) const;

private:
    enum class Kind_t : quint8 { TenMinutes, Minute, Change, Command, Mark, Report };
    struct Ref_t {
        qint64 ms;
        Kind_t kind;
        qint32 index; // in its tier, the changes, the commands or the marks
    };

    NodeHistory_t history{Ternix36::_NodeType::_Plug};
    QList<NodeHistory_t::Change_t> changes;
    QList<Quantity_t> quantities;
    QList<Ref_t> rows;
    mutable LocalTimes_t times;
};

// Every row, as a copy has them.
QList<Row_t> _Rows(const NodeHistory_t &history, bool withNumbers);

// Comma-separated values, a line per row: fields with a comma, quote or line
// break are quoted, their quotes doubled.
QString _Csv(const QList<QStringList> &rows);
// The name of the button that sent a command, as the panel shows it.
QString _ButtonText(NodeHistory_t::Button_t button);

// The state at a moment, from the changes (oldest first); false before the first.
bool _StateAt(const QList<NodeHistory_t::Change_t> &changes, qint64 ms, qint32 *state);

} // namespace HistoryRows
