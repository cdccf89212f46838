// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/LivenessText.h"

#include "protocol/Liveness.h"

#include <QCoreApplication>
#include <QDateTime>

namespace {

constexpr qint64 SecondMs = 1000;
constexpr qint64 MinuteMs = 60 * SecondMs;
constexpr qint64 HourMs = 60 * MinuteMs;

QString _Moment(qint64 ms, const QDateTime &now) {
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(ms);
    if (moment.date() == now.date())
        return moment.toString(QStringLiteral("HH:mm:ss"));
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString _Age(qint64 ageMs) {
    if (ageMs < MinuteMs)
        return QCoreApplication::translate("Liveness", "%1 s ago").arg(ageMs / SecondMs);
    if (ageMs < HourMs)
        return QCoreApplication::translate("Liveness", "%1 min ago").arg(ageMs / MinuteMs);
    return QCoreApplication::translate("Liveness", "%1 h ago").arg(ageMs / HourMs);
}

} // namespace

QString _LivenessText(const Liveness_t &liveness, const Moment_t &now, LivenessTextForm_t form) {
    if (liveness._LastHeardMs() == 0 && !liveness._NotAnswering())
        return QString();
    const QDateTime wallNow = QDateTime::fromMSecsSinceEpoch(now.wallMs);
    QString text;
    if (liveness._NotAnswering())
        text = QCoreApplication::translate("Liveness", "No answer to the probe at %1.")
                   .arg(_Moment(liveness._UnansweredProbeMs(), wallNow));
    if (liveness._LastHeardMs() == 0)
        return text;
    if (!text.isEmpty())
        text += QLatin1Char(' ');
    text += QCoreApplication::translate("Liveness", "Last heard at %1")
                .arg(_Moment(liveness._LastHeardMs(), wallNow));
    if (form == LivenessTextForm_t::ToolTip)
        text += QStringLiteral(" (") + _Age(now.monotonicMs - liveness._LastHeard().monotonicMs) +
                QLatin1Char(')');
    return text;
}
