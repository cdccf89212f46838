// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeHistory.h"

#include <QList>
#include <QString>

// One quantity of a node's reports: its column in the table and its chart.
enum class Quantity_t { RealPower, ApparentPower, OnOff, Temperature, Brightness, Level, Blinds };

// What a kind reports, in the panel's order.
QList<Quantity_t> _Quantities(Ternix36::_NodeType type);
// "Real", "Temperature"...: the panel's caption.
QString _QuantityName(Quantity_t quantity);
// The chart's title: the name and its unit, "Real (W)".
QString _ChartTitle(Quantity_t quantity);
// On/off and the blinds' state are steps, with named levels.
bool _IsState(Quantity_t quantity);

// A reading as recorded, and as the panel writes it: "40 W", "21 °C", "50 %", "Up".
qint32 _Reading(Quantity_t quantity, const NodeHistory_t::Sample_t &sample);
QString _ReadingText(Quantity_t quantity, qint32 reading);
// In the chart's unit: watts, degrees, percent.
double _Plotted(Quantity_t quantity, qint32 reading);

// A thinned bucket's least, greatest and last reading.
struct Span_t {
    qint32 least;
    qint32 greatest;
    qint32 last;
};
Span_t _Span(Quantity_t quantity, const NodeHistory_t::Bucket_t &bucket);
