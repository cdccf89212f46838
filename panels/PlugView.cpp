// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PlugView.h"

#include "panels/PowerText.h"
#include "protocol/NodeKinds.h"
#include "protocol/PlugWire.h"
#include "protocol/ReportReader.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

PlugView_t::PlugView_t(const QHostAddress &sender, const QByteArray &datagram)
    : ItemView_t(sender, {Ternix36::KindPlug, 105, 5, 3})
    , onPalette(_TitlePalette(Qt::yellow))
    , offPalette(_TitlePalette(Qt::gray)) {
    switchButton = new QPushButton(tr("Switch"));
    _FixSize(switchButton, {60, 60});
    apparentPowerLabel = _CentredLabel();
    realPowerLabel = _CentredLabel();
    connect(switchButton, &QPushButton::clicked, this, &PlugView_t::_Switch);

    _UseValueFont({realPowerLabel, apparentPowerLabel});

    QLabel *apparentCaption = _Caption(tr("Apparent"));
    QLabel *realCaption = _Caption(tr("Real"));
    apparentPowerLabel->setAccessibleDescription(apparentCaption->text());
    realPowerLabel->setAccessibleDescription(realCaption->text());

    _PlaceCommonFrame();
    grid->addWidget(apparentPowerLabel, 1, 2, 2, 1);
    grid->addWidget(apparentCaption, 3, 2, 1, 1);
    grid->addWidget(realPowerLabel, 1, 3, 2, 1);
    grid->addWidget(realCaption, 3, 3, 1, 1);
    grid->addWidget(switchButton, 1, 4, 3, 1);

    _FitToDesktop();
    _DataRead(datagram);
}

void PlugView_t::_DataRead(const QByteArray &datagram) {
    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;

    const PlugWire_t::Reading_t reading = PlugWire_t::_Read(report);
    _ShowTitlePalette(reading.hasReadings ? onPalette : offPalette);
    realPowerLabel->setText(_PowerText(reading.realPower));
    apparentPowerLabel->setText(_PowerText(reading.apparentPower));

    nameLabel->setText(report._NodeName());
}

void PlugView_t::_Switch() {
    _SendCommand(PlugWire_t::_SwitchCommand(), PlugWire_t::Port, {NodeHistory_t::Button_t::Switch});
}
