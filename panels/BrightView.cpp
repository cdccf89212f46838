// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/BrightView.h"

#include "panels/ValueText.h"
#include "protocol/BrightWire.h"
#include "protocol/NodeKinds.h"
#include "protocol/ReportReader.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int ValueWidth = 100;
constexpr int FieldWidth = 60;

// Text that is no base-10 integer in the signed 32-bit range counts as 0.
// QString::toInt() stops reading at a zero character and would take "1", zero,
// "2" for 1.
qint32 _FieldValue(const QLineEdit *field) {
    const QString text = field->text();
    return text.contains(QChar(0)) ? 0 : text.toInt(nullptr, 10);
}

QLineEdit *_Field() {
    return new QLineEdit(QStringLiteral("0"));
}
} // namespace

BrightView_t::BrightView_t(const QHostAddress &sender, const QByteArray &datagram)
    : ItemView_t(sender, {Ternix36::KindBright, 115, 8, 4}) {
    pollButton = new QPushButton(tr("Poll"));
    _FixSize(pollButton, {60, 60});
    brightnessLabel = _CentredLabel();
    _FixSize(brightnessLabel, {ValueWidth, 0});
    temperatureLabel = _CentredLabel();
    _FixSize(temperatureLabel, {ValueWidth, 0});
    configureButton = new QPushButton(tr("Configure"));
    _FixSize(configureButton, {60, 20});
    connect(pollButton, &QPushButton::clicked, this, &BrightView_t::_Poll);
    connect(configureButton, &QPushButton::clicked, this, &BrightView_t::_Configure);

    _UseValueFont({temperatureLabel, brightnessLabel});

    QLabel *brightnessCaption = _Caption(tr("Brightness"));
    QLabel *temperatureCaption = _Caption(tr("Temperature"));
    brightnessLabel->setAccessibleDescription(brightnessCaption->text());
    temperatureLabel->setAccessibleDescription(temperatureCaption->text());
    auto *pollIntervalCaption = new QLabel(tr("Poll Intervall"), this);
    auto *measureIntervalCaption = new QLabel(tr("Measure Intervall"), this);
    auto *deltaTemperatureCaption = new QLabel(tr("Delta Temperature"), this);
    auto *deltaBrightnessCaption = new QLabel(tr("Delta Brightness"), this);
    pollIntervalField = _Field();
    measureIntervalField = _Field();
    deltaTemperatureField = _Field();
    deltaBrightnessField = _Field();
    // Each field is named by its caption, for assistive technology.
    const QList<QLabel *> fieldCaptions = {pollIntervalCaption, measureIntervalCaption,
                                           deltaTemperatureCaption, deltaBrightnessCaption};
    const QList<QLineEdit *> fields = {pollIntervalField, measureIntervalField,
                                       deltaTemperatureField, deltaBrightnessField};
    for (int i = 0; i < fields.size(); ++i) {
        _FixSize(fields[i], {FieldWidth, 0});
        fieldCaptions[i]->setBuddy(fields[i]);
    }

    _PlaceCommonFrame();
    grid->addWidget(brightnessLabel, 1, 2, 2, 1);
    grid->addWidget(brightnessCaption, 4, 2);
    grid->addWidget(temperatureLabel, 1, 3, 2, 1);
    grid->addWidget(temperatureCaption, 4, 3);
    grid->addWidget(pollIntervalCaption, 1, 4);
    grid->addWidget(measureIntervalCaption, 2, 4);
    grid->addWidget(deltaTemperatureCaption, 3, 4);
    grid->addWidget(deltaBrightnessCaption, 4, 4);
    grid->addWidget(pollIntervalField, 1, 5);
    grid->addWidget(measureIntervalField, 2, 5);
    grid->addWidget(deltaTemperatureField, 3, 5);
    grid->addWidget(deltaBrightnessField, 4, 5);
    grid->addWidget(pollButton, 1, 6, 3, 1);
    grid->addWidget(configureButton, 4, 6);

    _FitToDesktop();
    _DataRead(datagram);
}

void BrightView_t::_DataRead(const QByteArray &datagram) {
    // Shorter than the header: no report, the panel keeps what it shows.
    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;

    const BrightWire_t::Reading_t reading = BrightWire_t::_Read(report);
    _SetFittedText(temperatureLabel, _TemperatureText(reading.temperatureTenths), ValueWidth);
    _SetFittedText(brightnessLabel, QString::number(reading.brightness), ValueWidth);

    nameLabel->setText(report._NodeName());
}

void BrightView_t::_Poll() {
    _SendCommand(BrightWire_t::_PollCommand(), BrightWire_t::Port, {NodeHistory_t::Button_t::Poll});
}

void BrightView_t::_Configure() {
    const qint32 pollInterval = _FieldValue(pollIntervalField);
    const qint32 measureInterval = _FieldValue(measureIntervalField);
    const qint32 deltaTemperature = _FieldValue(deltaTemperatureField);
    const qint32 deltaBrightness = _FieldValue(deltaBrightnessField);
    // The command has the measure interval first; the history keeps the fields' order.
    _SendCommand(BrightWire_t::_ConfigureCommand(measureInterval, pollInterval, deltaTemperature,
                                                 deltaBrightness),
                 BrightWire_t::Port,
                 {NodeHistory_t::Button_t::Configure,
                  0,
                  {pollInterval, measureInterval, deltaTemperature, deltaBrightness}});
}
