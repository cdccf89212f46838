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
    HistoryChart_t(Quantity_t quantity, QWidget *parent);

    void _Show(const NodeHistory_t &history, qint64 fromMs, qint64 toMs);
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
