// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/history/HistoryQuantity.h"

#include <QList>
#include <QRect>
#include <QWidget>

#include <optional>

// A node's charts, one strip per quantity over one time axis, painted in one
// widget so that a vertical line is one moment in every strip:
// - readings as steps through every report, and through each thinned
//   bucket's first, least, greatest and last reading where they came;
// - states (on/off, the blinds' direction) as timelines of coloured bands
//   named by their state;
// - along the bottom of every strip, whole, the markers: a circle for a
//   command, a square for one that got no answer, a triangle where the node
//   did not answer a probe, in one colour each, named in one legend above.
// The pointer, or the cursor moved with the arrow keys, shows a line and,
// in one tooltip, every strip's value at that moment. The wheel, a drag or
// + and - zoom the time axis; Home or a double click shows the range again.
class HistoryPlot_t : public QWidget {
public:
    enum class Marker_t { Command, NoAnswer, NotAnswering };

    HistoryPlot_t(const NodeHistory_t &history, QWidget *parent);

    // The range: the last spanMs up to nowMs, unless zoomed; a new range
    // ends a zoom.
    void _SetSpan(qint64 spanMs);
    void _SetNow(qint64 nowMs);
    void _ResetZoom();
    bool _Zoomed() const { return zoomed; }
    qint64 _FromMs() const { return fromMs; }
    qint64 _ToMs() const { return toMs; }

    // Where each strip's data is drawn, as laid out for the present size,
    // font and records.
    QList<QRect> _PlotAreas() const;
    // The markers' lane under each plot area, above the strip's bottom edge.
    QList<QRect> _MarkerLanes() const;
    int _MarkerSize() const;
    // Every strip's value at a moment, as the pointer's tooltip gives it.
    QString _ValuesAt(qint64 ms) const;
    // A marker as every strip and the legend draw it.
    static QColor _MarkerColour(Marker_t marker);
    static QPolygonF _MarkerShape(Marker_t marker, QPointF centre, double size);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    struct Point_t {
        qint64 ms;
        qint32 reading;
    };
    // The strips' places, worked out for one paint.
    struct Layout_t {
        QRect legend;
        QList<QRect> titles;
        QList<QRect> plots;   // the data, above the markers' lane
        QList<QRect> markers; // the markers' lane at the bottom of each strip
        QRect timeLabels;
        QList<qint64> ticks;
        qint64 tickStepMs = 0;
        // Per strip: the value axis of a reading.
        QList<double> lows, highs, steps;
        QList<int> decimals;
    };

    Layout_t _Layout() const;
    QList<Point_t> _Points(Quantity_t quantity) const;
    double _X(const QRect &plot, qint64 ms) const;
    qint64 _Ms(int x) const;
    void _Zoom(double factor, qint64 aroundMs);
    void _ZoomTo(qint64 from, qint64 to);
    void _MoveCursor(qint64 ms, bool fromKeyboard);
    void _PaintReadings(QPainter &painter, int strip, const Layout_t &layout) const;
    void _PaintTimeline(QPainter &painter, int strip, const Layout_t &layout) const;
    void _PaintMarkers(QPainter &painter, const QRect &lane) const;
    void _PaintLegend(QPainter &painter, const QRect &area) const;
    void _PaintMarker(QPainter &painter, Marker_t marker, QPointF centre) const;
    QColor _TextColour() const;

    const NodeHistory_t &history;
    QList<Quantity_t> quantities;
    qint64 spanMs;
    qint64 nowMs = 0;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    bool zoomed = false;
    std::optional<qint64> cursorMs;
    std::optional<int> dragFromX;
    int dragToX = 0;
};
