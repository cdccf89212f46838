// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PlugView.h"

#include "panels/PowerText.h"
#include "protocol/Protocol.h"
#include "protocol/ReportReader.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

// Plug report: N at byte 3 (non-zero while readings are present), then real
// and apparent power as signed 32-bit hundredths of a watt, then the name
// trailer. The switch command is the bare header; the plug toggles.
namespace {
constexpr qint64 RealPowerOffset = 4;
constexpr qint64 ApparentPowerOffset = 8;
} // namespace

PlugView_t::PlugView_t(const QHostAddress &sender, const QByteArray &datagram)
    : ItemView_t(sender, {"Plug", 105, 5, 3})
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

    const bool hasReadings = report._DataBlockSize() != 0;
    _ShowTitlePalette(hasReadings ? onPalette : offPalette);

    const qint32 realPower = hasReadings ? report._S32(RealPowerOffset) : 0;
    // The apparent power means nothing while the plug draws no real power.
    const qint32 apparentPower =
        (hasReadings && realPower != 0) ? report._S32(ApparentPowerOffset) : 0;
    realPowerLabel->setText(_PowerText(realPower));
    apparentPowerLabel->setText(_PowerText(apparentPower));

    nameLabel->setText(report._NodeName());
}

void PlugView_t::_Switch() {
    _SendCommand(Ternix36::CommandHeader(Ternix36::OpRequest, Ternix36::KindPlug),
                 Ternix36::CommandPort(Ternix36::KindPlug));
}
