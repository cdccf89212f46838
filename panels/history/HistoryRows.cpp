// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryRows.h"

#include "panels/ValueText.h"
#include "panels/history/HistoryQuantity.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>

namespace {
using Button_t = NodeHistory_t::Button_t;

QString _Tr(const char *text) {
    return QCoreApplication::translate("History", text);
}

// Local time, to the second, as the table and the copied text write it.
QString _TimeText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// "120 ms", "no answer", or "waiting".
QString _AnswerText(qint32 answerMs) {
    if (answerMs == NodeHistory_t::NoAnswer)
        return _Tr("no answer");
    if (answerMs == NodeHistory_t::Waiting)
        return _Tr("waiting");
    return _Tr("%1 ms").arg(answerMs);
}

// "Switch", "Poll"..., or the level sent: "50 %".
QString _ButtonText(const NodeHistory_t::Command_t &command) {
    switch (Button_t(command.button)) {
    case Button_t::Switch:
        return _Tr("Switch");
    case Button_t::Poll:
        return _Tr("Poll");
    case Button_t::Configure:
        return _Tr("Configure");
    case Button_t::Up:
        return _Tr("Up");
    case Button_t::Down:
        return _Tr("Down");
    case Button_t::Off:
        return _Tr("Off");
    case Button_t::Level:
        break;
    }
    return _LevelText(int(command.level));
}

// "40 W", or "40 W (38 W – 45 W)" for readings that varied in the bucket.
QString _SpanText(Quantity_t quantity, const Span_t &span) {
    const QString last = _ReadingText(quantity, span.last);
    if (span.least == span.greatest || _IsState(quantity))
        return last;
    return QStringLiteral("%1 (%2 \u2013 %3)")
        .arg(last, _ReadingText(quantity, span.least), _ReadingText(quantity, span.greatest));
}

// Time, event and answer, then one empty cell per quantity.
HistoryRows::Row_t _Row(qint64 ms, const QString &event, int quantities,
                        const QString &answer = QString()) {
    QStringList cells = {_TimeText(ms), event, answer};
    for (int i = 0; i < quantities; ++i)
        cells.append(QString());
    return {ms, cells};
}

template <typename Ring>
void _AddBuckets(QList<HistoryRows::Row_t> &rows, const Ring &tier, const QString &event,
                 const QList<Quantity_t> &quantities) {
    for (qsizetype i = 0; i < tier.size(); ++i) {
        const NodeHistory_t::Bucket_t &bucket = tier.at(i);
        HistoryRows::Row_t row = _Row(bucket._StartMs(), event, 0);
        for (Quantity_t quantity : quantities)
            row.cells.append(_SpanText(quantity, _Span(quantity, bucket)));
        rows.append(row);
    }
}
} // namespace

QStringList HistoryRows::_Headers(Ternix36::_NodeType type) {
    QStringList headers = {_Tr("Time"), _Tr("Event"), _Tr("Answer")};
    for (Quantity_t quantity : _Quantities(type))
        headers.append(_QuantityName(quantity));
    return headers;
}

QList<HistoryRows::Row_t> HistoryRows::_Rows(const NodeHistory_t &history) {
    const QList<Quantity_t> quantities = _Quantities(history._Type());
    const int columns = int(quantities.size());
    QList<Row_t> rows;
    // Oldest first; among records of one millisecond the sort below keeps
    // this order, reports last: an answer within the millisecond of its
    // command comes after it.
    _AddBuckets(rows, history._TenMinutes(), _Tr("Reports of 10 minutes"), quantities);
    _AddBuckets(rows, history._Minutes(), _Tr("Reports of a minute"), quantities);
    for (qsizetype i = 0; i < history._Commands().size(); ++i) {
        const NodeHistory_t::Command_t &command = history._Commands().at(i);
        rows.append(
            _Row(command.sentMs, _ButtonText(command), columns, _AnswerText(command.answerMs)));
    }
    for (qsizetype i = 0; i < history._Marks().size(); ++i)
        rows.append(_Row(history._Marks().at(i), _Tr("Not answering"), columns));
    for (qsizetype i = 0; i < history._Full().size(); ++i) {
        const NodeHistory_t::Sample_t &sample = history._Full().at(i);
        Row_t row = _Row(sample.ms, _Tr("Report"), 0);
        for (Quantity_t quantity : quantities)
            row.cells.append(_ReadingText(quantity, _Reading(quantity, sample)));
        rows.append(row);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row_t &a, const Row_t &b) { return a.ms < b.ms; });
    std::reverse(rows.begin(), rows.end());
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
