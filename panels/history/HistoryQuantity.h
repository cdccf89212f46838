// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/NodeHistory.h"

#include <QColor>
#include <QList>
#include <QString>

// One quantity of a node's reports: its columns in the table and the copied
// text, and its strip in the charts.
enum class Quantity_t { RealPower, ApparentPower, OnOff, Temperature, Brightness, Level, Blinds };

// What a kind reports, in the panel's order.
QList<Quantity_t> _Quantities(Ternix36::_NodeType type);
// "Real", "Temperature"...: the panel's caption.
QString _QuantityName(Quantity_t quantity);
// The name and its unit, as the charts' strips give it: "Real (W)", "On/off".
QString _ChartTitle(Quantity_t quantity);
// The same for the copied text, where states are their codes:
// "Real (W)", "On/off (1 on, 0 off)".
QString _QuantityTitle(Quantity_t quantity);
// On/off and the blinds' direction: states, shown as timelines.
bool _IsState(Quantity_t quantity);

// A reading as recorded, from a report or from a bucket's span.
qint32 _Reading(Quantity_t quantity, const NodeHistory_t::Sample_t &sample);
NodeHistory_t::Span_t _Span(Quantity_t quantity, const NodeHistory_t::Bucket_t &bucket);
// As the panel writes it, with the precision the node sent: "40.24 W",
// "21.5 °C", "50 %", "Up".
QString _ReadingText(Quantity_t quantity, qint32 reading);
// As a number for a spreadsheet, in the unit of the title: "40.24", "21.5", "1".
QString _ReadingNumber(Quantity_t quantity, qint32 reading);
// In the unit of the title, for the charts.
double _Plotted(Quantity_t quantity, qint32 reading);
// The digits after the point that a reading of the quantity can have.
int _Decimals(Quantity_t quantity);

// A state's colour in its timeline, the panel's title colour for it.
QColor _StateColour(Quantity_t quantity, qint32 state);
