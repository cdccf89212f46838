// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryChart.h"

#include "panels/Contrast.h"
#include "protocol/BlindsWire.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QEvent>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>

namespace {
QString _Tr(const char *text) {
    return QCoreApplication::translate("History", text);
}

QScatterSeries *_Markers(const QString &name, QScatterSeries::MarkerShape shape) {
    auto *series = new QScatterSeries;
    series->setName(name);
    series->setMarkerShape(shape);
    series->setMarkerSize(9);
    return series;
}

// The named levels of a state, on a category axis whose labels sit at them.
QCategoryAxis *_StateAxis(Quantity_t quantity) {
    auto *axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const QList<qint32> levels =
        quantity == Quantity_t::OnOff
            ? QList<qint32>{0, 1}
            : QList<qint32>{BlindsWire_t::Off, BlindsWire_t::Down, BlindsWire_t::Up};
    axis->setStartValue(levels.first() - 0.5);
    for (qint32 level : levels)
        axis->append(_ReadingText(quantity, level), level);
    axis->setRange(levels.first() - 0.5, levels.last() + 0.5);
    return axis;
}

struct Point_t {
    qint64 ms;
    Span_t span;
};

// Every reading, oldest first: thinned buckets at their start, then each report.
QList<Point_t> _Points(Quantity_t quantity, const NodeHistory_t &history) {
    QList<Point_t> points;
    for (qsizetype i = 0; i < history._TenMinutes().size(); ++i)
        points.append(Point_t{history._TenMinutes().at(i)._StartMs(),
                              _Span(quantity, history._TenMinutes().at(i))});
    for (qsizetype i = 0; i < history._Minutes().size(); ++i)
        points.append(Point_t{history._Minutes().at(i)._StartMs(),
                              _Span(quantity, history._Minutes().at(i))});
    for (qsizetype i = 0; i < history._Full().size(); ++i) {
        const qint32 reading = _Reading(quantity, history._Full().at(i));
        points.append(Point_t{qint64(history._Full().at(i).ms), Span_t{reading, reading, reading}});
    }
    return points;
}
} // namespace

HistoryChart_t::HistoryChart_t(Quantity_t quantity, QWidget *parent)
    // The chart given at construction: one set later would leave the view's
    // own first chart undeleted.
    : QChartView(new QChart, parent)
    , quantity(quantity) {
    QChart *chart = this->chart();
    chart->setTitle(_ChartTitle(quantity));
    // The plot gets the height: no margins, and the legend beside it.
    chart->setMargins(QMargins());
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setAlignment(Qt::AlignRight);
    setAccessibleName(_Tr("Chart of %1").arg(_ChartTitle(quantity)));
    setRenderHint(QPainter::Antialiasing);

    timeAxis = new QDateTimeAxis;
    timeAxis->setFormat(QStringLiteral("HH:mm"));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    if (_IsState(quantity)) {
        valueAxis = _StateAxis(quantity);
    } else {
        numberAxis = new QValueAxis;
        valueAxis = numberAxis;
        greatest = new QLineSeries(this);
        least = new QLineSeries(this);
        band = new QAreaSeries(greatest, least);
        band->setName(_Tr("Least to greatest"));
        band->setOpacity(0.35);
        chart->addSeries(band);
    }
    chart->addAxis(valueAxis, Qt::AlignLeft);

    readings = new QLineSeries;
    readings->setName(_QuantityName(quantity));
    answered = _Markers(_Tr("Command"), QScatterSeries::MarkerShapeCircle);
    unanswered = _Markers(_Tr("No answer"), QScatterSeries::MarkerShapeRectangle);
    silent = _Markers(_Tr("Not answering"), QScatterSeries::MarkerShapeTriangle);
    for (QAbstractSeries *series :
         {static_cast<QAbstractSeries *>(readings), static_cast<QAbstractSeries *>(answered),
          static_cast<QAbstractSeries *>(unanswered), static_cast<QAbstractSeries *>(silent)})
        chart->addSeries(series);
    for (QAbstractSeries *series : chart->series()) {
        series->attachAxis(timeAxis);
        series->attachAxis(valueAxis);
    }
    _FollowDesktop();
}

void HistoryChart_t::_Show(const NodeHistory_t &history, const TimeSpan_t &span) {
    const qint64 fromMs = span.fromMs;
    timeAxis->setTickCount(span.ticks);
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(fromMs),
                       QDateTime::fromMSecsSinceEpoch(span.toMs));
    const QList<Point_t> points = _Points(quantity, history);

    QList<QPointF> line, upper, lower;
    double low = 0, high = 0;
    bool any = false;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const double x = double(points[i].ms);
        const double last = _Plotted(quantity, points[i].span.last);
        if (_IsState(quantity) && i > 0)
            line.append({x, line.last().y()});
        line.append({x, last});
        upper.append({x, _Plotted(quantity, points[i].span.greatest)});
        lower.append({x, _Plotted(quantity, points[i].span.least)});
        if (points[i].ms < fromMs)
            continue;
        low = any ? std::min(low, lower.last().y()) : lower.last().y();
        high = any ? std::max(high, upper.last().y()) : upper.last().y();
        any = true;
    }
    // A state holds until the next report.
    if (_IsState(quantity) && !line.isEmpty())
        line.append({double(span.nowMs), line.last().y()});
    readings->replace(line);

    double bottom = 0;
    if (numberAxis) {
        greatest->replace(upper);
        least->replace(lower);
        if (!any || low == high) {
            low -= 1;
            high += 1;
        }
        numberAxis->setRange(low, high);
        numberAxis->applyNiceNumbers();
        bottom = numberAxis->min();
    } else {
        bottom = static_cast<QCategoryAxis *>(valueAxis)->min();
    }

    // Markers sit on the bottom edge, at the time they were sent or marked.
    QList<QPointF> sent, lost, marked;
    for (qsizetype i = 0; i < history._Commands().size(); ++i) {
        const NodeHistory_t::Command_t &command = history._Commands().at(i);
        (command.answerMs == NodeHistory_t::NoAnswer ? lost : sent)
            .append({double(command.sentMs), bottom});
    }
    for (qsizetype i = 0; i < history._Marks().size(); ++i)
        marked.append({double(history._Marks().at(i)), bottom});
    answered->replace(sent);
    unanswered->replace(lost);
    silent->replace(marked);

    // The legend names only what the chart holds; it places the markers
    // again only when told.
    QLegend *legend = chart()->legend();
    bool changed = false;
    for (QAbstractSeries *series : chart()->series()) {
        auto *area = qobject_cast<QAreaSeries *>(series);
        auto *points = qobject_cast<QXYSeries *>(series);
        const bool shown = area ? upper != lower : points && points->count() > 0;
        for (QLegendMarker *marker : legend->markers(series)) {
            changed = changed || marker->isVisible() != shown;
            marker->setVisible(shown);
        }
    }
    if (changed)
        legend->layout()->invalidate();
}

void HistoryChart_t::_FollowDesktop() {
    QChart *chart = this->chart();
    const QPalette colours = palette();
    const QColor background = colours.color(QPalette::Base);
    const QColor text = _ReadableOn(colours.color(QPalette::Text), background);
    chart->setBackgroundBrush(background);
    chart->setBackgroundRoundness(0);
    chart->setTitleBrush(text);
    QFont titleFont = font();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->setLabelColor(text);
    chart->legend()->setFont(font());
    QColor grid = colours.color(QPalette::Mid);
    for (QAbstractAxis *axis : chart->axes()) {
        axis->setLabelsBrush(text);
        axis->setLabelsFont(font());
        axis->setLinePenColor(text);
        axis->setGridLineColor(grid);
    }
    setBackgroundBrush(background);
    // Room for the title, the legend and a few lines of axis labels at any font size.
    setMinimumHeight(fontMetrics().height() * 14);
}

void HistoryChart_t::changeEvent(QEvent *event) {
    QChartView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        _FollowDesktop();
}
