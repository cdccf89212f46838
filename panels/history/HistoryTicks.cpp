// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryTicks.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace {
constexpr qint64 SecondMs = 1000;
constexpr qint64 MinuteMs = 60 * SecondMs;
constexpr qint64 HourMs = 60 * MinuteMs;
constexpr qint64 DayMs = 24 * HourMs;
constexpr qint64 TimeSteps[] = {
    SecondMs, 2 * SecondMs, 5 * SecondMs, 10 * SecondMs, 15 * SecondMs, 30 * SecondMs,
    MinuteMs, 2 * MinuteMs, 5 * MinuteMs, 10 * MinuteMs, 15 * MinuteMs, 30 * MinuteMs,
    HourMs,   2 * HourMs,   3 * HourMs,   6 * HourMs,    12 * HourMs,   DayMs};

qint64 _FloorDiv(qint64 value, qint64 divisor) {
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}
} // namespace

HistoryTicks::Values_t HistoryTicks::_Values(double low, double high, int most, double finest) {
    if (!(high > low)) {
        low -= 1;
        high += 1;
    }
    most = qMax(1, most);
    const double rough = (high - low) / most;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= finest * (1 - 1e-9) &&
            std::ceil(high / step - 1e-9) - std::floor(low / step + 1e-9) <= most)
            break;
    }
    step = std::max(step, finest);
    const int decimals = qMax(0, int(-std::floor(std::log10(step) + 1e-9)));
    return {std::floor(low / step + 1e-9) * step, std::ceil(high / step - 1e-9) * step, step,
            decimals};
}

QString HistoryTicks::_ValueText(double value, int decimals) {
    // No "-0".
    if (std::abs(value) < std::pow(10.0, -decimals) / 2)
        value = 0;
    return QLocale().toString(value, 'f', decimals);
}

HistoryTicks::Times_t HistoryTicks::_Times(qint64 fromMs, qint64 toMs, int most) {
    Times_t times{{}, DayMs};
    if (toMs <= fromMs)
        return times;
    most = qMax(1, most);
    for (qint64 step : TimeSteps) {
        times.stepMs = step;
        if ((toMs - fromMs) / step < most)
            break;
    }
    // Round in local time: its offset from UTC at the start of the range.
    const qint64 offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(fromMs).offsetFromUtc()) * 1000;
    for (qint64 local = (_FloorDiv(fromMs + offsetMs, times.stepMs) + 1) * times.stepMs;
         local - offsetMs <= toMs; local += times.stepMs)
        if (local - offsetMs >= fromMs)
            times.ms.append(local - offsetMs);
    return times;
}

QString HistoryTicks::_TimeText(qint64 ms, qint64 stepMs, bool withDate) {
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(ms);
    QString text =
        moment.toString(stepMs < MinuteMs ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    if (withDate)
        text += QLatin1Char('\n') + QLocale().toString(moment.date(), QStringLiteral("ddd d MMM"));
    return text;
}
