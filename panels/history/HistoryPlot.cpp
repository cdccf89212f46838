// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryPlot.h"

#include "panels/Contrast.h"
#include "panels/history/HistoryRows.h"
#include "panels/history/HistoryTicks.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
QString _Tr(const char *text) {
    return QCoreApplication::translate("History", text);
}

// Readings further apart than this are not joined: the node was silent
// (a ten-minute bucket's first and last reports are at most this far from
// their neighbours').
constexpr qint64 GapMs = 11 * NodeHistory_t::MinuteMs;
constexpr qint64 ShortestViewMs = 10 * 1000;
constexpr double WheelZoom = 1.25;
// A drag shorter than this is a click.
constexpr int DragPixels = 4;
// Steps of the keyboard cursor across the view.
constexpr int CursorSteps = 40;

// Qt's raster engine hands every fill of 96 rows or more to its thread pool
// and waits for it, which costs more than the fill: tall lines and bands
// are drawn in slabs of fewer rows.
constexpr int SlabRows = 90;

void _VerticalLine(QPainter &painter, double x, int top, int bottom) {
    for (int from = top; from <= bottom; from += SlabRows)
        painter.drawLine(QPointF(x, from), QPointF(x, std::min(bottom, from + SlabRows - 1)));
}

void _Fill(QPainter &painter, const QRectF &area, const QColor &colour) {
    for (double from = area.top(); from < area.bottom(); from += SlabRows)
        painter.fillRect(QRectF(area.left(), from, area.width(),
                                std::min<double>(SlabRows, area.bottom() - from)),
                         colour);
}

// A frame, its sides in slabs too.
void _Frame(QPainter &painter, const QRect &area) {
    painter.drawLine(area.topLeft(), area.topRight());
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    _VerticalLine(painter, area.left(), area.top(), area.bottom());
    _VerticalLine(painter, area.right(), area.top(), area.bottom());
}

// Every line is cosmetic: drawn as pixels, not stroked as an outline, which
// would cost most of a paint.
QPen _Pen(const QColor &colour, int width = 1, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour, width, style);
    pen.setCosmetic(true);
    return pen;
}

QString _MarkerName(HistoryPlot_t::Marker_t marker) {
    switch (marker) {
    case HistoryPlot_t::Marker_t::Command:
        return _Tr("Command");
    case HistoryPlot_t::Marker_t::NoAnswer:
        return _Tr("No answer");
    case HistoryPlot_t::Marker_t::NotAnswering:
        break;
    }
    return _Tr("Not answering");
}

constexpr HistoryPlot_t::Marker_t Markers[] = {HistoryPlot_t::Marker_t::Command,
                                               HistoryPlot_t::Marker_t::NoAnswer,
                                               HistoryPlot_t::Marker_t::NotAnswering};

} // namespace

HistoryPlot_t::HistoryPlot_t(const NodeHistory_t &history, QWidget *parent)
    : QWidget(parent)
    , history(history)
    , quantities(_Quantities(history._Type()))
    , spanMs(NodeHistory_t::FullMs) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(_Tr("Charts"));
    setAccessibleDescription(_Tr("Left and Right move the cursor, + and - zoom, Home shows the "
                                 "whole range"));
}

void HistoryPlot_t::_SetSpan(qint64 span) {
    spanMs = span;
    zoomed = false;
    _SetNow(nowMs);
}

void HistoryPlot_t::_SetNow(qint64 now) {
    nowMs = now;
    if (!zoomed) {
        fromMs = nowMs - spanMs;
        toMs = nowMs;
    }
    update();
}

void HistoryPlot_t::_ResetZoom() {
    zoomed = false;
    _SetNow(nowMs);
}

void HistoryPlot_t::_Zoom(double factor, qint64 aroundMs) {
    const double span = double(toMs - fromMs) / factor;
    const double share = double(aroundMs - fromMs) / double(toMs - fromMs);
    const qint64 from = aroundMs - qint64(span * share);
    _ZoomTo(from, from + qint64(span));
}

void HistoryPlot_t::_ZoomTo(qint64 from, qint64 to) {
    // Within the day kept, and no shorter than a few seconds.
    to = std::min(to, nowMs);
    from = std::max(from, nowMs - NodeHistory_t::KeptMs);
    if (to - from < ShortestViewMs) {
        const qint64 middle = (from + to) / 2;
        from = middle - ShortestViewMs / 2;
        to = from + ShortestViewMs;
    }
    fromMs = from;
    toMs = to;
    zoomed = true;
    update();
}

int HistoryPlot_t::_MarkerSize() const {
    return std::max(8, fontMetrics().height() * 2 / 3);
}

QColor HistoryPlot_t::_MarkerColour(Marker_t marker) {
    switch (marker) {
    case Marker_t::Command:
        return QColor(0x2e, 0x7d, 0x32);
    case Marker_t::NoAnswer:
        return QColor(0xc6, 0x28, 0x28);
    case Marker_t::NotAnswering:
        break;
    }
    return QColor(0xef, 0x6c, 0x00);
}

QPolygonF HistoryPlot_t::_MarkerShape(Marker_t marker, QPointF centre, double size) {
    const double half = size / 2;
    QPolygonF shape;
    switch (marker) {
    case Marker_t::Command: {
        // A circle, as a polygon that a test can read too.
        constexpr int Sides = 24;
        for (int i = 0; i < Sides; ++i)
            shape << centre + QPointF(half * std::cos(2 * M_PI * i / Sides),
                                      half * std::sin(2 * M_PI * i / Sides));
        break;
    }
    case Marker_t::NoAnswer:
        shape << centre + QPointF(-half, -half) << centre + QPointF(half, -half)
              << centre + QPointF(half, half) << centre + QPointF(-half, half);
        break;
    case Marker_t::NotAnswering:
        shape << centre + QPointF(0, -half) << centre + QPointF(half, half)
              << centre + QPointF(-half, half);
        break;
    }
    return shape;
}

QColor HistoryPlot_t::_TextColour() const {
    return _ReadableOn(palette().color(QPalette::Text), palette().color(QPalette::Base));
}

QList<HistoryPlot_t::Point_t> HistoryPlot_t::_Points(Quantity_t quantity) const {
    QList<Point_t> points;
    const auto addBuckets = [&](const auto &tier) {
        for (qsizetype i = 0; i < tier.size(); ++i) {
            const NodeHistory_t::Bucket_t &bucket = tier.at(i);
            const NodeHistory_t::Span_t span = _Span(quantity, bucket);
            points.append({bucket._Ms(bucket.firstAt), span.first});
            Point_t least{bucket._Ms(span.leastAt), span.least};
            Point_t greatest{bucket._Ms(span.greatestAt), span.greatest};
            if (greatest.ms < least.ms)
                std::swap(least, greatest);
            points << least << greatest;
            points.append({bucket._Ms(bucket.lastAt), span.last});
        }
    };
    addBuckets(history._TenMinutes());
    addBuckets(history._Minutes());
    for (qsizetype i = 0; i < history._Full().size(); ++i) {
        const NodeHistory_t::Sample_t &sample = history._Full().at(i);
        points.append({qint64(sample.ms), _Reading(quantity, sample)});
    }
    return points;
}

double HistoryPlot_t::_X(const QRect &plot, qint64 ms) const {
    return plot.left() +
           double(ms - fromMs) * plot.width() / double(std::max<qint64>(1, toMs - fromMs));
}

qint64 HistoryPlot_t::_Ms(int x) const {
    const QList<QRect> plots = _PlotAreas();
    if (plots.isEmpty() || plots.first().width() <= 0)
        return fromMs;
    const QRect &plot = plots.first();
    const double share = std::clamp(double(x - plot.left()) / plot.width(), 0.0, 1.0);
    return fromMs + qint64(share * double(toMs - fromMs));
}

HistoryPlot_t::Layout_t HistoryPlot_t::_Layout() const {
    Layout_t layout;
    const QFontMetrics metrics = fontMetrics();
    const int line = metrics.height();
    const int gap = std::max(3, line / 3);
    const int lane = _MarkerSize() + gap;
    const QRect area = rect().adjusted(gap, gap, -gap, -gap);

    layout.legend = QRect(area.left(), area.top(), area.width(), line);
    const bool dates = QDateTime::fromMSecsSinceEpoch(fromMs).date() !=
                       QDateTime::fromMSecsSinceEpoch(toMs).date();
    const int labelsHeight = line * (dates ? 2 : 1);
    const int axisHeight = gap + labelsHeight;

    // State strips are as high as their names; readings share the rest.
    const int top = layout.legend.bottom() + gap;
    const int bottom = area.bottom() - axisHeight;
    int readings = 0;
    for (Quantity_t quantity : quantities)
        readings += _IsState(quantity) ? 0 : 1;
    const int titles = int(quantities.size()) * (line + gap / 2);
    const int states = int(quantities.size()) - readings;
    // Alone, a timeline takes the height.
    const int stateHeight = readings || !states
                                ? line + gap + lane
                                : std::max(line + gap + lane, (bottom - top - titles) / states);
    const int readingHeight =
        readings ? std::max(line * 3, (bottom - top - titles - states * stateHeight) / readings)
                 : 0;

    // The value axes, for the labels' widths.
    int labelWidth = 0;
    for (Quantity_t quantity : quantities) {
        double low = 0, high = 0, step = 1;
        int decimals = 0;
        if (!_IsState(quantity)) {
            bool any = false;
            const QList<Point_t> points = _Points(quantity);
            for (qsizetype i = 0; i < points.size(); ++i) {
                // The last point before the view shows where the line comes from.
                const bool before = i + 1 < points.size() && points[i + 1].ms <= fromMs;
                if (before || points[i].ms > toMs)
                    continue;
                const double value = _Plotted(quantity, points[i].reading);
                low = any ? std::min(low, value) : value;
                high = any ? std::max(high, value) : value;
                any = true;
            }
            const int most = std::max(2, (readingHeight - lane) / (line * 3 / 2));
            const HistoryTicks::Values_t ticks =
                HistoryTicks::_Values(low, high, most, std::pow(10.0, -_Decimals(quantity)));
            low = ticks.low;
            high = ticks.high;
            step = ticks.step;
            decimals = ticks.decimals;
            for (double value = low; value <= high + step / 2; value += step)
                labelWidth =
                    std::max(labelWidth,
                             metrics.horizontalAdvance(HistoryTicks::_ValueText(value, decimals)));
        }
        layout.lows.append(low);
        layout.highs.append(high);
        layout.steps.append(step);
        layout.decimals.append(decimals);
    }

    const int widestTime = metrics.horizontalAdvance(QStringLiteral("00:00:00"));
    const int left = area.left() + labelWidth + 2 * gap;
    const int right = area.right() - widestTime / 2;
    int y = top;
    for (Quantity_t quantity : quantities) {
        layout.titles.append(QRect(left, y, right - left, line));
        y += line + gap / 2;
        const int height = _IsState(quantity) ? stateHeight : readingHeight;
        layout.plots.append(QRect(left, y, right - left, height - lane));
        layout.markers.append(QRect(left, y + height - lane, right - left, lane));
        y += height;
    }
    layout.timeLabels = QRect(left, y + gap, right - left, labelsHeight);
    const HistoryTicks::Times_t times =
        HistoryTicks::_Times(fromMs, toMs, std::max(2, (right - left) / (widestTime + 2 * line)));
    layout.ticks = times.ms;
    layout.tickStepMs = times.stepMs;
    return layout;
}

QList<QRect> HistoryPlot_t::_PlotAreas() const {
    return _Layout().plots;
}

QList<QRect> HistoryPlot_t::_MarkerLanes() const {
    return _Layout().markers;
}

QSize HistoryPlot_t::sizeHint() const {
    const int line = fontMetrics().height();
    return QSize(line * 44, line * (4 + 10 * int(quantities.size())));
}

QSize HistoryPlot_t::minimumSizeHint() const {
    const int line = fontMetrics().height();
    return QSize(line * 20, line * (4 + 5 * int(quantities.size())));
}

void HistoryPlot_t::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QColor background = palette().color(QPalette::Base);
    const QColor text = _TextColour();
    _Fill(painter, rect(), background);
    // Steps, bands and grid lines run along the axes: only the markers need
    // smoothing, which costs most of a paint on a long line.
    const Layout_t layout = _Layout();
    const QFontMetrics metrics = fontMetrics();
    const int line = metrics.height();

    _PaintLegend(painter, layout.legend);

    QColor grid = palette().color(QPalette::Mid);
    grid.setAlpha(120);
    for (int strip = 0; strip < quantities.size(); ++strip) {
        const QRect &plot = layout.plots[strip];
        const QRect whole = plot.united(layout.markers[strip]);
        painter.setPen(text);
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(layout.titles[strip], Qt::AlignLeft | Qt::AlignVCenter,
                         _ChartTitle(quantities[strip]));
        painter.setFont(font());
        painter.setPen(_Pen(grid));
        for (qint64 tick : layout.ticks)
            _VerticalLine(painter, _X(plot, tick), whole.top(), whole.bottom());
        if (_IsState(quantities[strip]))
            _PaintTimeline(painter, strip, layout);
        else
            _PaintReadings(painter, strip, layout);
        _PaintMarkers(painter, layout.markers[strip]);
        painter.setPen(_Pen(text));
        painter.setBrush(Qt::NoBrush);
        _Frame(painter, whole);
    }

    // The time axis, once, under the last strip.
    painter.setPen(text);
    const QRect &labels = layout.timeLabels;
    for (int i = 0; i < layout.ticks.size(); ++i) {
        const qint64 tick = layout.ticks[i];
        const bool newDay = labels.height() > line &&
                            (i == 0 || QDateTime::fromMSecsSinceEpoch(layout.ticks[i - 1]).date() !=
                                           QDateTime::fromMSecsSinceEpoch(tick).date());
        const QString label = HistoryTicks::_TimeText(tick, layout.tickStepMs, newDay);
        const double x = _X(labels, tick);
        const int width = metrics.horizontalAdvance(QStringLiteral("00:00:00")) + line;
        painter.drawText(QRectF(x - width / 2.0, labels.top(), width, labels.height()),
                         Qt::AlignHCenter | Qt::AlignTop, label);
    }

    // The cursor, through every strip, and a drag's interval.
    if (!layout.plots.isEmpty()) {
        const int top = layout.plots.first().top();
        const int bottom = layout.markers.last().bottom();
        if (dragFromX) {
            QColor selection = palette().color(QPalette::Highlight);
            selection.setAlpha(70);
            _Fill(painter,
                  QRect(QPoint(std::min(*dragFromX, dragToX), top),
                        QPoint(std::max(*dragFromX, dragToX), bottom)),
                  selection);
        }
        if (cursorMs && *cursorMs >= fromMs && *cursorMs <= toMs) {
            const double x = _X(layout.plots.first(), *cursorMs);
            painter.setPen(_Pen(text, 1, Qt::DashLine));
            _VerticalLine(painter, x, top, bottom);
        }
    }
    if (hasFocus()) {
        painter.setPen(_Pen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        _Frame(painter, rect().adjusted(1, 1, -2, -2));
    }
}

void HistoryPlot_t::_PaintReadings(QPainter &painter, int strip, const Layout_t &layout) const {
    const Quantity_t quantity = quantities[strip];
    const QRect &plot = layout.plots[strip];
    const QFontMetrics metrics = fontMetrics();
    const double low = layout.lows[strip];
    const double high = layout.highs[strip];
    // Half a line clear at the top, so that the top label clears the title.
    const int room = std::max(1, plot.height() - metrics.height() / 2);
    const auto y = [&](double value) {
        return plot.bottom() - (value - low) * room / std::max(1e-9, high - low);
    };

    // Round values on the left, and their grid lines.
    QColor grid = palette().color(QPalette::Mid);
    grid.setAlpha(120);
    const QColor text = _TextColour();
    for (double value = low; value <= high + layout.steps[strip] / 2;
         value += layout.steps[strip]) {
        const double at = y(value);
        painter.setPen(_Pen(grid));
        painter.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
        painter.setPen(text);
        const QString label = HistoryTicks::_ValueText(value, layout.decimals[strip]);
        painter.drawText(QRectF(0, at - metrics.height() / 2.0,
                                plot.left() - metrics.height() / 3.0, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }

    // Steps: a reading holds until the next, so that a change is a step, not
    // a ramp; the rises and falls in slabs.
    painter.save();
    painter.setClipRect(plot.adjusted(0, -1, 0, 1));
    QColor colour = palette().color(QPalette::Highlight);
    if (_ContrastRatio(colour, palette().color(QPalette::Base)) < 3)
        colour = text;
    painter.setPen(_Pen(colour, std::max(2, metrics.height() / 8)));
    const QList<Point_t> points = _Points(quantity);
    QList<QLineF> runs; // the horizontal parts, drawn at once
    bool drawing = false;
    double lastX = 0;
    double lastY = 0;
    qint64 lastMs = 0;
    const auto rise = [&](double x, double from, double to) {
        _VerticalLine(painter, x, int(std::lround(std::min(from, to))),
                      int(std::lround(std::max(from, to))));
    };
    for (const Point_t &point : points) {
        if (point.ms < fromMs - GapMs || point.ms > toMs + GapMs)
            continue;
        const double x = _X(plot, point.ms);
        const double value = y(_Plotted(quantity, point.reading));
        if (drawing && point.ms - lastMs <= GapMs) {
            runs.append(QLineF(lastX, lastY, x, lastY));
            if (value != lastY)
                rise(x, lastY, value);
        }
        drawing = true;
        lastX = x;
        lastY = value;
        lastMs = point.ms;
    }
    // The last reading holds until now, unless the node fell silent.
    if (drawing && nowMs - lastMs <= GapMs)
        runs.append(QLineF(lastX, lastY, _X(plot, nowMs), lastY));
    painter.drawLines(runs);
    painter.restore();
}

void HistoryPlot_t::_PaintTimeline(QPainter &painter, int strip, const Layout_t &layout) const {
    const Quantity_t quantity = quantities[strip];
    const QRect &plot = layout.plots[strip];
    const QList<NodeHistory_t::Change_t> changes = history._Changes();
    const QFontMetrics metrics = fontMetrics();
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const qint64 start = std::max(changes[i].ms, fromMs);
        const qint64 end = std::min(i + 1 < changes.size() ? changes[i + 1].ms : nowMs, toMs);
        if (end <= start)
            continue;
        const QRectF band(QPointF(_X(plot, start), plot.top()),
                          QPointF(_X(plot, end), plot.bottom()));
        const QColor colour = _StateColour(quantity, changes[i].state);
        _Fill(painter, band, colour);
        const QString name = _ReadingText(quantity, changes[i].state);
        if (band.width() > metrics.horizontalAdvance(name) + metrics.height() / 2) {
            painter.setPen(_ReadableOn(Qt::black, colour));
            painter.drawText(band, Qt::AlignCenter, name);
        }
    }
}

void HistoryPlot_t::_PaintMarker(QPainter &painter, Marker_t marker, QPointF centre) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(_Pen(_TextColour()));
    painter.setBrush(_MarkerColour(marker));
    painter.drawPolygon(_MarkerShape(marker, centre, _MarkerSize()));
    painter.restore();
}

// Whole, above the strip's bottom edge, at the moment they stand for.
void HistoryPlot_t::_PaintMarkers(QPainter &painter, const QRect &lane) const {
    const double y = lane.center().y() + 0.5;
    for (qsizetype i = 0; i < history._Commands().size(); ++i) {
        const NodeHistory_t::Command_t &command = history._Commands().at(i);
        const qint64 ms = command.sentMs;
        if (ms < fromMs || ms > toMs)
            continue;
        _PaintMarker(painter,
                     command.answerMs == NodeHistory_t::NoAnswer ? Marker_t::NoAnswer
                                                                 : Marker_t::Command,
                     QPointF(_X(lane, ms), y));
    }
    for (qsizetype i = 0; i < history._Marks().size(); ++i) {
        const qint64 ms = history._Marks().at(i);
        if (ms >= fromMs && ms <= toMs)
            _PaintMarker(painter, Marker_t::NotAnswering, QPointF(_X(lane, ms), y));
    }
}

void HistoryPlot_t::_PaintLegend(QPainter &painter, const QRect &area) const {
    const QFontMetrics metrics = fontMetrics();
    const int size = _MarkerSize();
    int x = area.left();
    for (Marker_t marker : Markers) {
        _PaintMarker(painter, marker, QPointF(x + size / 2.0, area.center().y() + 0.5));
        x += size + size / 2;
        const QString name = _MarkerName(marker);
        painter.setPen(_TextColour());
        painter.drawText(QRect(x, area.top(), metrics.horizontalAdvance(name) + 1, area.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, name);
        x += metrics.horizontalAdvance(name) + metrics.height();
    }
}

QString HistoryPlot_t::_ValuesAt(qint64 ms) const {
    QStringList lines = {
        QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))};
    for (Quantity_t quantity : quantities) {
        QString value;
        if (_IsState(quantity)) {
            qint32 state = 0;
            if (HistoryRows::_StateAt(history._Changes(), ms, &state))
                value = _ReadingText(quantity, state);
        } else {
            const QList<Point_t> points = _Points(quantity);
            const auto after = std::upper_bound(
                points.begin(), points.end(), ms,
                [](qint64 moment, const Point_t &point) { return moment < point.ms; });
            if (after != points.begin() && ms - (after - 1)->ms <= GapMs)
                value = _ReadingText(quantity, (after - 1)->reading);
        }
        lines.append(_Tr("%1: %2").arg(_QuantityName(quantity),
                                       value.isEmpty() ? _Tr("nothing heard") : value));
    }
    // What happened within a few pixels of the moment.
    const QList<QRect> plots = _PlotAreas();
    const qint64 near =
        plots.isEmpty() ? 0 : 4 * (toMs - fromMs) / std::max(1, plots.first().width());
    for (qsizetype i = 0; i < history._Commands().size(); ++i) {
        const NodeHistory_t::Command_t &command = history._Commands().at(i);
        if (qAbs(qint64(command.sentMs) - ms) > near)
            continue;
        QString answer;
        if (command.answerMs == NodeHistory_t::NoAnswer)
            answer = _Tr("no answer");
        else if (command.answerMs == NodeHistory_t::Waiting)
            answer = _Tr("waiting");
        else
            answer = _Tr("%1 ms").arg(command.answerMs);
        lines.append(_Tr("%1: %2").arg(
            HistoryRows::_ButtonText(NodeHistory_t::Button_t(command.button)), answer));
    }
    for (qsizetype i = 0; i < history._Marks().size(); ++i)
        if (qAbs(history._Marks().at(i) - ms) <= near)
            lines.append(_MarkerName(Marker_t::NotAnswering));
    return lines.join(QLatin1Char('\n'));
}

void HistoryPlot_t::_MoveCursor(qint64 ms, bool fromKeyboard) {
    cursorMs = ms;
    const QString values = _ValuesAt(ms);
    setAccessibleDescription(values);
    update();
    const QList<QRect> plots = _PlotAreas();
    if (fromKeyboard && !plots.isEmpty())
        QToolTip::showText(mapToGlobal(QPoint(int(_X(plots.first(), ms)), plots.first().top())),
                           values, this);
}

void HistoryPlot_t::mouseMoveEvent(QMouseEvent *event) {
    const int x = int(event->position().x());
    if (dragFromX) {
        dragToX = x;
        update();
        return;
    }
    _MoveCursor(_Ms(x), false);
    QToolTip::showText(event->globalPosition().toPoint() + QPoint(16, 16), _ValuesAt(*cursorMs),
                       this);
}

void HistoryPlot_t::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    dragFromX = int(event->position().x());
    dragToX = *dragFromX;
}

void HistoryPlot_t::mouseReleaseEvent(QMouseEvent *event) {
    if (!dragFromX)
        return QWidget::mouseReleaseEvent(event);
    const int from = std::min(*dragFromX, dragToX);
    const int to = std::max(*dragFromX, dragToX);
    dragFromX.reset();
    if (to - from > DragPixels)
        _ZoomTo(_Ms(from), _Ms(to));
    update();
}

void HistoryPlot_t::mouseDoubleClickEvent(QMouseEvent *) {
    dragFromX.reset();
    _ResetZoom();
}

void HistoryPlot_t::wheelEvent(QWheelEvent *event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0)
        return;
    _Zoom(std::pow(WheelZoom, steps), _Ms(int(event->position().x())));
    event->accept();
}

void HistoryPlot_t::keyPressEvent(QKeyEvent *event) {
    const qint64 step = std::max<qint64>(1, (toMs - fromMs) / CursorSteps);
    const qint64 at = cursorMs.value_or(toMs);
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const qint64 moved = at + (event->key() == Qt::Key_Left ? -step : step);
        // Past an edge of a zoomed view, the view follows.
        if (zoomed && (moved < fromMs || moved > toMs))
            _ZoomTo(fromMs + (moved - at), toMs + (moved - at));
        _MoveCursor(std::clamp(moved, fromMs, toMs), true);
        break;
    }
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        _Zoom(WheelZoom, at);
        break;
    case Qt::Key_Minus:
        _Zoom(1 / WheelZoom, at);
        break;
    case Qt::Key_Home:
        _ResetZoom();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void HistoryPlot_t::leaveEvent(QEvent *event) {
    if (!hasFocus())
        cursorMs.reset();
    update();
    QWidget::leaveEvent(event);
}
