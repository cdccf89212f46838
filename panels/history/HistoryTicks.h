// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Where the charts' axes put their labels: on round values and round times.
namespace HistoryTicks {

// A value axis from `low` to `high` (grown to the ticks): steps of 1, 2 or
// 5 times a power of ten, at most `most` of them but none finer than
// `finest`, and the decimals their labels need, no more.
struct Values_t {
    double low;
    double high;
    double step;
    int decimals;
};
Values_t _Values(double low, double high, int most, double finest);
QString _ValueText(double value, int decimals);

// Round local times within fromMs..toMs: steps of 1, 2, 5, 10, 15 or 30 s
// or min, 1, 2, 3, 6 or 12 h, or a day, no more than `most` of them.
struct Times_t {
    QList<qint64> ms;
    qint64 stepMs;
};
Times_t _Times(qint64 fromMs, qint64 toMs, int most);
// A tick's label: the time, to the second when the step is shorter than a
// minute, and on a second line the date where a new day begins within a
// range that spans more than one day.
QString _TimeText(qint64 ms, qint64 stepMs, bool withDate);

} // namespace HistoryTicks
