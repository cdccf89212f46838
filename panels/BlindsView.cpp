// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/BlindsView.h"

#include "protocol/NodeKinds.h"
#include "protocol/ReportReader.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

BlindsView_t::BlindsView_t(const QHostAddress &sender, const QByteArray &datagram)
    : ItemView_t(sender, {Ternix36::KindBlinds, 105, 5, 3})
    , upPalette(_TitlePalette(Qt::green))
    , downPalette(_TitlePalette(Qt::red))
    , offPalette(_TitlePalette(Qt::gray)) {
    upButton = new QPushButton(tr("Up"));
    downButton = new QPushButton(tr("Down"));
    connect(upButton, &QPushButton::clicked, this, &BlindsView_t::_SwitchUp);
    connect(downButton, &QPushButton::clicked, this, &BlindsView_t::_SwitchDown);
    stateLabel = _CentredLabel();
    _UseValueFont({stateLabel});
    stateLabel->setAccessibleDescription(tr("State"));

    _PlaceCommonFrame();
    grid->addWidget(stateLabel, 1, 2, 2, 1);
    grid->addWidget(upButton, 1, 3, 3, 1);
    grid->addWidget(downButton, 1, 4, 3, 1);

    _FitToDesktop();
    _DataRead(datagram);
}

void BlindsView_t::_DataRead(const QByteArray &datagram) {
    // Shorter than the header: no report, the state and the display stay. A
    // report of just the header reads state 0, as every missing field reads 0.
    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;

    blindsState = BlindsWire_t::_State(report);
    switch (blindsState) {
    case _BlindOff:
        _ShowTitlePalette(offPalette);
        stateLabel->setText(tr("Off"));
        upButton->setText(tr("Up"));
        downButton->setText(tr("Down"));
        break;
    case _BlindDown:
        _ShowTitlePalette(downPalette);
        stateLabel->setText(tr("Down"));
        downButton->setText(tr("Off"));
        break;
    case _BlindUp:
        _ShowTitlePalette(upPalette);
        stateLabel->setText(tr("Up"));
        upButton->setText(tr("Off"));
        break;
    default:
        // Stored, so that the buttons stop, but nothing to show.
        break;
    }
}

void BlindsView_t::_SwitchX(_BlindDir ondir) {
    // Still blinds start in the direction asked for; moving ones stop. The
    // history names the button as it read when pressed.
    const QPushButton *button = ondir == _BlindUp ? upButton : downButton;
    using Button_t = NodeHistory_t::Button_t;
    const Button_t named = button->text() == tr("Off")
                               ? Button_t::Off
                               : (ondir == _BlindUp ? Button_t::Up : Button_t::Down);
    const auto direction = qint8(blindsState == _BlindOff ? ondir : _BlindOff);
    _SendCommand(BlindsWire_t::_DriveCommand(direction), BlindsWire_t::Port, {named, direction});
}

void BlindsView_t::_SwitchUp() {
    _SwitchX(_BlindUp);
}

void BlindsView_t::_SwitchDown() {
    _SwitchX(_BlindDown);
}
