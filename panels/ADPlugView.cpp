// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/ADPlugView.h"

#include "panels/PowerText.h"
#include "protocol/ADPlugWire.h"
#include "protocol/NodeKinds.h"
#include "protocol/ReportReader.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int PowerLabelWidth = 100;
} // namespace

ADPlugView_t::ADPlugView_t(const QHostAddress &sender, const QByteArray &datagram)
    : ItemView_t(sender, {Ternix36::KindADPlug, 105, 5, 3})
    , onPalette(_TitlePalette(Qt::yellow))
    , offPalette(_TitlePalette(Qt::gray)) {
    switchButton = new QPushButton(tr("Switch"));
    _FixSize(switchButton, {60, 60});
    apparentPowerLabel = _CentredLabel();
    _FixSize(apparentPowerLabel, {PowerLabelWidth, 0});
    realPowerLabel = _CentredLabel();
    _FixSize(realPowerLabel, {PowerLabelWidth, 0});
    connect(switchButton, &QPushButton::clicked, this, &ADPlugView_t::_Switch);

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

void ADPlugView_t::_DataRead(const QByteArray &datagram) {
    // Shorter than the header: no report, the panel and its state stay as they are.
    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;

    const ADPlugWire_t::Reading_t reading = ADPlugWire_t::_Read(report);
    lastOn = reading.on;
    _ShowTitlePalette(lastOn ? onPalette : offPalette);

    // Unlike the toggling plug, the apparent power is shown whatever the real power is.
    _SetFittedText(realPowerLabel, _PowerText(reading.realPower), PowerLabelWidth);
    _SetFittedText(apparentPowerLabel, _PowerText(reading.apparentPower), PowerLabelWidth);

    nameLabel->setText(report._NodeName());
}

void ADPlugView_t::_Switch() {
    // The history knows the state named, which the report that answers shows.
    const bool on = !lastOn;
    _SendCommand(ADPlugWire_t::_SwitchCommand(on), ADPlugWire_t::Port,
                 {NodeHistory_t::Button_t::Switch, on ? 1 : 0});
}
