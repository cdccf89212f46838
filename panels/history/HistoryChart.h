// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/history/HistoryQuantity.h"

#include <QChartView>

class QAbstractAxis;
class QAreaSeries;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// The chart of one quantity over a time range in local time: the readings as
// a line (steps for states), the range of thinned readings as a band, and
// markers for commands, commands without answer and not-answering marks.
class HistoryChart_t : public QChartView {
public:
    // What the time axis spans, with `ticks` labels from fromMs to toMs; toMs
    // may lie a little ahead of now, so that the labels fall on round times.
    struct TimeSpan_t {
        qint64 fromMs;
        qint64 toMs;
        qint64 nowMs;
        int ticks;
    };

    HistoryChart_t(Quantity_t quantity, QWidget *parent);

    void _Show(const NodeHistory_t &history, const TimeSpan_t &span);
    // Fonts and colours of the desktop, for the chart's texts and lines.
    void _FollowDesktop();

protected:
    void changeEvent(QEvent *event) override;

private:
    Quantity_t quantity;
    QLineSeries *readings;
    QLineSeries *greatest = nullptr;
    QLineSeries *least = nullptr;
    QAreaSeries *band = nullptr;
    QScatterSeries *answered;
    QScatterSeries *unanswered;
    QScatterSeries *silent;
    QDateTimeAxis *timeAxis;
    QAbstractAxis *valueAxis;
    QValueAxis *numberAxis = nullptr; // the value axis of a quantity that is no state
};
