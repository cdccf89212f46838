// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryQuantity.h"

#include "panels/PowerText.h"
#include "panels/ValueText.h"
#include "protocol/BlindsWire.h"

#include <QCoreApplication>

namespace {
QString _Tr(const char *text) {
    return QCoreApplication::translate("History", text);
}

// Which of a record's fields holds the quantity.
enum class Field_t { A, B, State };

Field_t _Field(Quantity_t quantity) {
    switch (quantity) {
    case Quantity_t::RealPower:
    case Quantity_t::Temperature:
    case Quantity_t::Level:
        return Field_t::A;
    case Quantity_t::ApparentPower:
    case Quantity_t::Brightness:
        return Field_t::B;
    case Quantity_t::OnOff:
    case Quantity_t::Blinds:
        break;
    }
    return Field_t::State;
}
} // namespace

QList<Quantity_t> _Quantities(Ternix36::_NodeType type) {
    using Ternix36::_NodeType;
    switch (type) {
    case _NodeType::_Plug:
    case _NodeType::_ADPlug:
        return {Quantity_t::RealPower, Quantity_t::ApparentPower, Quantity_t::OnOff};
    case _NodeType::_Bright:
        return {Quantity_t::Temperature, Quantity_t::Brightness};
    case _NodeType::_Dimmer:
        return {Quantity_t::Level};
    case _NodeType::_Blinds:
        break;
    }
    return {Quantity_t::Blinds};
}

QString _QuantityName(Quantity_t quantity) {
    switch (quantity) {
    case Quantity_t::RealPower:
        return _Tr("Real");
    case Quantity_t::ApparentPower:
        return _Tr("Apparent");
    case Quantity_t::OnOff:
        return _Tr("On/off");
    case Quantity_t::Temperature:
        return _Tr("Temperature");
    case Quantity_t::Brightness:
        return _Tr("Brightness");
    case Quantity_t::Level:
        return _Tr("Level");
    case Quantity_t::Blinds:
        break;
    }
    return _Tr("State");
}

QString _QuantityTitle(Quantity_t quantity) {
    switch (quantity) {
    case Quantity_t::RealPower:
    case Quantity_t::ApparentPower:
        return _Tr("%1 (W)").arg(_QuantityName(quantity));
    case Quantity_t::Temperature:
        return _Tr("%1 (\u00B0C)").arg(_QuantityName(quantity));
    case Quantity_t::Level:
        return _Tr("%1 (%)").arg(_QuantityName(quantity));
    case Quantity_t::OnOff:
        return _Tr("%1 (1 on, 0 off)").arg(_QuantityName(quantity));
    case Quantity_t::Blinds:
        return _Tr("%1 (0 off, 1 down, 3 up)").arg(_QuantityName(quantity));
    case Quantity_t::Brightness:
        break;
    }
    return _QuantityName(quantity);
}

QString _ChartTitle(Quantity_t quantity) {
    return _IsState(quantity) ? _QuantityName(quantity) : _QuantityTitle(quantity);
}

bool _IsState(Quantity_t quantity) {
    return _Field(quantity) == Field_t::State;
}

qint32 _Reading(Quantity_t quantity, const NodeHistory_t::Sample_t &sample) {
    switch (_Field(quantity)) {
    case Field_t::A:
        return sample.a;
    case Field_t::B:
        return sample.b;
    case Field_t::State:
        break;
    }
    return qint32(sample.state);
}

NodeHistory_t::Span_t _Span(Quantity_t quantity, const NodeHistory_t::Bucket_t &bucket) {
    return _Field(quantity) == Field_t::B ? bucket.b : bucket.a;
}

QString _ReadingText(Quantity_t quantity, qint32 reading) {
    switch (quantity) {
    case Quantity_t::RealPower:
    case Quantity_t::ApparentPower:
        return _PowerText(reading);
    case Quantity_t::OnOff:
        return reading ? _Tr("On") : _Tr("Off");
    case Quantity_t::Temperature:
        // The panel shows whole degrees; the node sends tenths.
        return _ReadingNumber(quantity, reading) + QStringLiteral(" \u00B0C");
    case Quantity_t::Brightness:
        return QString::number(reading);
    case Quantity_t::Level:
        return _LevelText(reading);
    case Quantity_t::Blinds:
        break;
    }
    switch (reading) {
    case BlindsWire_t::Off:
        return _Tr("Off");
    case BlindsWire_t::Down:
        return _Tr("Down");
    case BlindsWire_t::Up:
        return _Tr("Up");
    default:
        // A state the panel does not show: its code.
        return QString::number(reading);
    }
}

QString _ReadingNumber(Quantity_t quantity, qint32 reading) {
    const int decimals = _Decimals(quantity);
    if (decimals == 0)
        return QString::number(reading);
    // From the whole number, so that no rounding of a double shows.
    const qint64 scale = decimals == 1 ? 10 : 100;
    const qint64 magnitude = qAbs(qint64(reading));
    return QStringLiteral("%1%2.%3")
        .arg(reading < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / scale)
        .arg(magnitude % scale, decimals, 10, QLatin1Char('0'));
}

double _Plotted(Quantity_t quantity, qint32 reading) {
    switch (_Decimals(quantity)) {
    case 2:
        return reading / 100.0;
    case 1:
        return reading / 10.0;
    default:
        return reading;
    }
}

int _Decimals(Quantity_t quantity) {
    switch (quantity) {
    case Quantity_t::RealPower:
    case Quantity_t::ApparentPower:
        return 2;
    case Quantity_t::Temperature:
        return 1;
    default:
        return 0;
    }
}

QColor _StateColour(Quantity_t quantity, qint32 state) {
    if (quantity == Quantity_t::OnOff)
        return state ? QColor(Qt::yellow) : QColor(Qt::gray);
    switch (state) {
    case BlindsWire_t::Off:
        return QColor(Qt::gray);
    case BlindsWire_t::Down:
        return QColor(Qt::red);
    case BlindsWire_t::Up:
        return QColor(Qt::green);
    default:
        return QColor(Qt::darkGray);
    }
}
