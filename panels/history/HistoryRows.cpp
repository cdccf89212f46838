// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryRows.h"

#include "panels/ValueText.h"
#include "panels/history/HistoryQuantity.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <limits>

namespace {
using Button_t = NodeHistory_t::Button_t;
using Effect_t = NodeHistory_t::Effect_t;

QString _Tr(const char *text) {
    return QCoreApplication::translate("History", text);
}

// The sensor's fields that a Configure sends, as the panel names them.
QStringList _ConfigurationNames() {
    return {QCoreApplication::translate("BrightView_t", "Poll Intervall"),
            QCoreApplication::translate("BrightView_t", "Measure Intervall"),
            QCoreApplication::translate("BrightView_t", "Delta Temperature"),
            QCoreApplication::translate("BrightView_t", "Delta Brightness")};
}

bool _Configurable(Ternix36::_NodeType type) {
    return type == Ternix36::_NodeType::_Bright;
}

// What the answer was: a report that showed the command's effect, only some
// report (a Poll or a Configure has no effect to show, and the node may have
// reported unasked), none, or none yet.
QString _AnswerWord(const NodeHistory_t::Command_t &command) {
    if (command.answerMs == NodeHistory_t::NoAnswer)
        return _Tr("no answer");
    if (command.answerMs == NodeHistory_t::Waiting)
        return _Tr("waiting");
    return Effect_t(command.effect) == Effect_t::AnyReport ? _Tr("a report") : _Tr("answered");
}

QString _AnswerText(const NodeHistory_t::Command_t &command) {
    if (command.answerMs < 0)
        return _AnswerWord(command);
    return _Tr("%1 in %2 ms").arg(_AnswerWord(command)).arg(command.answerMs);
}

} // namespace

QStringList HistoryRows::_Headers(Ternix36::_NodeType type) {
    QStringList headers = {_Tr("Time"), _Tr("Event"), _Tr("Answer")};
    for (Quantity_t quantity : _Quantities(type))
        headers.append(_QuantityName(quantity));
    if (_Configurable(type))
        headers += _ConfigurationNames();
    return headers;
}

QStringList HistoryRows::_CopyHeaders(Ternix36::_NodeType type) {
    QStringList headers = {_Tr("Time"), _Tr("Event"), _Tr("Answer"), _Tr("Answer (ms)")};
    for (Quantity_t quantity : _Quantities(type)) {
        headers.append(_QuantityTitle(quantity));
        if (_IsState(quantity))
            continue;
        // "Real least (W)"
        const QString unit = _QuantityTitle(quantity).mid(_QuantityName(quantity).size());
        headers.append(_Tr("%1 least%2").arg(_QuantityName(quantity), unit));
        headers.append(_Tr("%1 greatest%2").arg(_QuantityName(quantity), unit));
    }
    if (_Configurable(type)) {
        QStringList names = _ConfigurationNames();
        names[2] += QStringLiteral(" (\u00B0C)");
        headers += names;
    }
    return headers;
}

bool HistoryRows::_StateAt(const QList<NodeHistory_t::Change_t> &changes, qint64 ms,
                           qint32 *state) {
    bool found = false;
    for (const NodeHistory_t::Change_t &change : changes) {
        if (change.ms > ms)
            break;
        *state = change.state;
        found = true;
    }
    return found;
}

QString HistoryRows::LocalTimes_t::_Text(qint64 ms) {
    return _Format(ms, QLatin1Char(' '));
}

QString HistoryRows::LocalTimes_t::_Iso(qint64 ms) {
    const int offset = _OffsetSeconds(ms);
    const int minutes = qAbs(offset) / 60;
    return _Format(ms, QLatin1Char('T')) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

int HistoryRows::LocalTimes_t::_OffsetSeconds(qint64 ms) {
    constexpr qint64 SlotMs = 15 * 60 * 1000;
    const qint64 slot = ms / SlotMs - (ms % SlotMs < 0 ? 1 : 0);
    const auto found = offsets.constFind(slot);
    if (found != offsets.constEnd())
        return found.value();
    const int offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
    offsets.insert(slot, offset);
    return offset;
}

QString HistoryRows::LocalTimes_t::_Format(qint64 ms, QChar between) {
    constexpr qint64 DayMs = 24 * 60 * 60 * 1000;
    constexpr qint64 EpochJulianDay = 2440588; // 1970-01-01
    const qint64 local = ms + qint64(_OffsetSeconds(ms)) * 1000;
    const qint64 days = local / DayMs - (local % DayMs < 0 ? 1 : 0);
    const qint64 inDay = local - days * DayMs;
    const QDate date = QDate::fromJulianDay(days + EpochJulianDay);
    const auto two = [](qint64 value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return QStringLiteral("%1-%2-%3%4%5:%6:%7.%8")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(two(date.month()), two(date.day()))
        .arg(between)
        .arg(two(inDay / 3600000), two(inDay / 60000 % 60), two(inDay / 1000 % 60))
        .arg(inDay % 1000, 3, 10, QLatin1Char('0'));
}

HistoryRows::Table_t::Table_t(const NodeHistory_t &recorded)
    : history(recorded)
    , changes(history._HasState() ? history._Changes() : QList<NodeHistory_t::Change_t>())
    , quantities(_Quantities(history._Type())) {
    // Oldest first; among records of one millisecond the sort below keeps
    // this order, reports last: an answer within the millisecond of its
    // command comes after it.
    for (qsizetype i = 0; i < history._TenMinutes().size(); ++i)
        rows.append({history._TenMinutes().at(i)._StartMs(), Kind_t::TenMinutes, qint32(i)});
    for (qsizetype i = 0; i < history._Minutes().size(); ++i)
        rows.append({history._Minutes().at(i)._StartMs(), Kind_t::Minute, qint32(i)});
    // Every change of state where the reports are thinned: the first entry
    // is where the records start, no change.
    const qint64 fullFromMs =
        history._Full().isEmpty() ? std::numeric_limits<qint64>::max() : history._Full().first().ms;
    for (qsizetype i = 1; i < changes.size() && changes[i].ms < fullFromMs; ++i)
        rows.append({changes[i].ms, Kind_t::Change, qint32(i)});
    for (qsizetype i = 0; i < history._Commands().size(); ++i)
        rows.append({qint64(history._Commands().at(i).sentMs), Kind_t::Command, qint32(i)});
    for (qsizetype i = 0; i < history._Marks().size(); ++i)
        rows.append({history._Marks().at(i), Kind_t::Mark, qint32(i)});
    for (qsizetype i = 0; i < history._Full().size(); ++i)
        rows.append({qint64(history._Full().at(i).ms), Kind_t::Report, qint32(i)});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Ref_t &a, const Ref_t &b) { return a.ms < b.ms; });
    std::reverse(rows.begin(), rows.end());
}

QString HistoryRows::Table_t::_Key(int row) const {
    return QString::number(rows.at(row).ms) + QLatin1Char(' ') +
           QString::number(int(rows.at(row).kind));
}

HistoryRows::Row_t HistoryRows::Table_t::_Row(int index, bool withNumbers) const {
    const Ref_t &ref = rows.at(index);
    const bool configurable = _Configurable(history._Type());
    QString event;
    switch (ref.kind) {
    case Kind_t::TenMinutes:
        event = _Tr("Reports of 10 minutes");
        break;
    case Kind_t::Minute:
        event = _Tr("Reports of a minute");
        break;
    case Kind_t::Change:
        event = _Tr("Change");
        break;
    case Kind_t::Command:
        event = _ButtonText(Button_t(history._Commands().at(ref.index).button));
        break;
    case Kind_t::Mark:
        event = _Tr("Not answering");
        break;
    case Kind_t::Report:
        event = _Tr("Report");
        break;
    }

    // The columns, before any is filled: a cell per quantity, and numbers
    // (with a least and a greatest beside each reading).
    Row_t row{ref.ms,
              {times._Text(ref.ms), event, QString()},
              {withNumbers ? times._Iso(ref.ms) : QString(), event, QString(), QString()}};
    QList<int> number; // each quantity's first number
    for (Quantity_t quantity : quantities) {
        row.cells.append(QString());
        number.append(int(row.numbers.size()));
        row.numbers.append(QString());
        if (!_IsState(quantity))
            row.numbers << QString() << QString();
    }
    for (int i = 0; configurable && i < 4; ++i) {
        row.cells.append(QString());
        row.numbers.append(QString());
    }
    const auto set = [&](int q, qint32 reading) {
        row.cells[3 + q] = _ReadingText(quantities[q], reading);
        if (withNumbers)
            row.numbers[number[q]] = _ReadingNumber(quantities[q], reading);
    };

    switch (ref.kind) {
    case Kind_t::TenMinutes:
    case Kind_t::Minute: {
        const NodeHistory_t::Bucket_t &bucket = ref.kind == Kind_t::Minute
                                                    ? history._Minutes().at(ref.index)
                                                    : history._TenMinutes().at(ref.index);
        for (int q = 0; q < quantities.size(); ++q) {
            if (_IsState(quantities[q])) {
                qint32 state = 0;
                if (_StateAt(changes, bucket._Ms(bucket.lastAt), &state))
                    set(q, state);
                continue;
            }
            const NodeHistory_t::Span_t span = _Span(quantities[q], bucket);
            set(q, span.last);
            if (span.least != span.greatest)
                row.cells[3 + q] += QStringLiteral(" (%1 \u2013 %2)")
                                        .arg(_ReadingText(quantities[q], span.least),
                                             _ReadingText(quantities[q], span.greatest));
            if (withNumbers) {
                row.numbers[number[q] + 1] = _ReadingNumber(quantities[q], span.least);
                row.numbers[number[q] + 2] = _ReadingNumber(quantities[q], span.greatest);
            }
        }
        break;
    }
    case Kind_t::Change:
        for (int q = 0; q < quantities.size(); ++q)
            if (_IsState(quantities[q]))
                set(q, changes[ref.index].state);
        break;
    case Kind_t::Command: {
        const NodeHistory_t::Command_t &command = history._Commands().at(ref.index);
        row.cells[2] = _AnswerText(command);
        row.numbers[2] = _AnswerWord(command);
        if (command.answerMs >= 0)
            row.numbers[3] = QString::number(command.answerMs);
        if (Button_t(command.button) == Button_t::Level)
            set(0, command.expected);
        if (Button_t(command.button) == Button_t::Configure && configurable) {
            const auto &sent = history._Configurations();
            for (qsizetype i = 0; i < sent.size(); ++i) {
                if (sent.at(i).sentMs != command.sentMs)
                    continue;
                for (int k = 0; k < 4; ++k) {
                    const QString value = QString::number(sent.at(i).values[k]);
                    row.cells[3 + int(quantities.size()) + k] = value;
                    row.numbers[int(row.numbers.size()) - 4 + k] = value;
                }
                break;
            }
        }
        break;
    }
    case Kind_t::Mark:
        break;
    case Kind_t::Report: {
        const NodeHistory_t::Sample_t &sample = history._Full().at(ref.index);
        for (int q = 0; q < quantities.size(); ++q)
            set(q, _Reading(quantities[q], sample));
        break;
    }
    }
    return row;
}

QList<HistoryRows::Row_t> HistoryRows::_Rows(const NodeHistory_t &history, bool withNumbers) {
    const Table_t table(history);
    QList<Row_t> rows;
    rows.reserve(table._Count());
    for (int row = 0; row < table._Count(); ++row)
        rows.append(table._Row(row, withNumbers));
    return rows;
}

QString HistoryRows::_Csv(const QList<QStringList> &rows) {
    QString text;
    for (const QStringList &cells : rows) {
        QStringList fields;
        for (QString cell : cells) {
            if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
                cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r')))
                cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                       QLatin1Char('"');
            fields.append(cell);
        }
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

QString HistoryRows::_ButtonText(NodeHistory_t::Button_t button) {
    switch (button) {
    case NodeHistory_t::Button_t::Switch:
        return _Tr("Switch");
    case NodeHistory_t::Button_t::Poll:
        return _Tr("Poll");
    case NodeHistory_t::Button_t::Configure:
        return _Tr("Configure");
    case NodeHistory_t::Button_t::Up:
        return _Tr("Up");
    case NodeHistory_t::Button_t::Down:
        return _Tr("Down");
    case NodeHistory_t::Button_t::Off:
        return _Tr("Off");
    case NodeHistory_t::Button_t::Level:
        break;
    }
    return _Tr("Level");
}
