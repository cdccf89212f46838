// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/ADPlugView.h"

#include "panels/PowerText.h"
#include "protocol/Protocol.h"
#include "protocol/ReportReader.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

// AD plug report: N at byte 3 (non-zero while readings are present), the state
// at byte 4 whatever N is, then real and apparent power as signed 32-bit
// hundredths of a watt, then the name trailer. With N = 0 byte 4 is both the
// state and the name length. The switch command names the target state.
namespace {
constexpr qint64 StateOffset = 4;
constexpr qint64 RealPowerOffset = 5;
constexpr qint64 ApparentPowerOffset = 9;
constexpr char TargetOn = 0x01;
constexpr char TargetOff = 0x00;
constexpr int PowerLabelWidth = 100;
} // namespace

ADPlugView_t::ADPlugView_t(const QHostAddress &sender, const QByteArray &datagram)
    : ItemView_t(sender, {"ADPlug", 105, 5, 3})
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

    // A report cut before byte 4 reads as off, like every missing field reads 0.
    lastState = report._U8(StateOffset);
    _ShowTitlePalette(lastState != 0 ? onPalette : offPalette);

    // Unlike the toggling plug, the apparent power is shown whatever the real power is.
    const bool hasReadings = report._DataBlockSize() != 0;
    _SetFittedText(realPowerLabel, _PowerText(hasReadings ? report._S32(RealPowerOffset) : 0),
                   PowerLabelWidth);
    _SetFittedText(apparentPowerLabel,
                   _PowerText(hasReadings ? report._S32(ApparentPowerOffset) : 0), PowerLabelWidth);

    nameLabel->setText(report._NodeName());
}

void ADPlugView_t::_Switch() {
    QByteArray command = Ternix36::CommandHeader(Ternix36::OpRequest, Ternix36::KindADPlug);
    command.append(lastState == 0 ? TargetOn : TargetOff);
    _SendCommand(command, Ternix36::CommandPort(Ternix36::KindADPlug));
}
