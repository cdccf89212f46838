// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/DimmerView.h"

#include "panels/ValueText.h"
#include "protocol/DimmerWire.h"
#include "protocol/NodeKinds.h"
#include "protocol/ReportReader.h"

#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QTimer>

DimmerView_t::DimmerView_t(const QHostAddress &sender, const QByteArray &datagram)
    : ItemView_t(sender, {Ternix36::KindDimmer, 115, 8, 4})
    , limiter(this, DimmerWire_t::LevelIntervalMs, [this](int level) { _SendLevel(level); }) {
    levelLabel = _CentredLabel();
    slider = new QSlider(Qt::Horizontal);
    slider->setMaximum(DimmerWire_t::MaximumLevel);
    slider->setAccessibleName(tr("Level"));
    levelLabel->setAccessibleDescription(tr("Reported level"));
    connect(slider, &QSlider::valueChanged, this, qOverload<int>(&DimmerView_t::_Poll));
    connect(limiter._Timer(), &QTimer::timeout, this, &DimmerView_t::_Timeout);

    _PlaceCommonFrame();
    grid->addWidget(slider, 1, 2, 2, 1);
    grid->addWidget(levelLabel, 4, 2);

    _FitToDesktop();
    _DataRead(datagram);
    // Once the first report is shown, the node gets the slider's start
    // position. Not through a broker: a console that opens would set every
    // dimmer of the site.
    if (!_InSite())
        _SendLevel(0);
}

void DimmerView_t::_DataRead(const QByteArray &datagram) {
    // Shorter than the header: no report, the label and name stay as they are.
    // A report cut before byte 4 shows level 0, as every missing field reads 0.
    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;

    const int level = DimmerWire_t::_Level(report);
    levelLabel->setText(_LevelText(level));
    nameLabel->setText(report._NodeName());
}

void DimmerView_t::_Poll(int i) {
    limiter._Want(i);
}

void DimmerView_t::_Poll() {
    _Poll(slider->value());
}

void DimmerView_t::_Timeout() {
    limiter._Tick();
}

void DimmerView_t::_SendLevel(int level) {
    _SendCommand(DimmerWire_t::_LevelCommand(level), DimmerWire_t::Port,
                 {NodeHistory_t::Button_t::Level, level});
}
