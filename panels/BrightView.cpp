// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/BrightView.h"

#include "protocol/Protocol.h"
#include "protocol/ReportReader.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtEndian>

// Sensor report: temperature in tenths of a degree at bytes 4..7 and brightness
// at 8..11, both signed 32-bit at fixed places whatever N says; N only locates
// the name trailer. Both kinds (0x0111, 0x0112) are commanded as 0x0111.
//
// Configuration command: 80 11 01, then measure interval (u16), poll interval
// (u16), delta temperature in tenths (s32) and delta brightness (s32).
namespace {
constexpr qint64 TemperatureOffset = 4;
constexpr qint64 BrightnessOffset = 8;

constexpr int ConfigureSize = 15;
constexpr int MeasureIntervalOffset = 3;
constexpr int PollIntervalOffset = 5;
constexpr int DeltaTemperatureOffset = 7;
constexpr int DeltaBrightnessOffset = 11;

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
    : ItemView_t(sender, {"Bright", 115, 8, 4}) {
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
    auto *pollIntervalCaption = new QLabel(tr("Poll Intervall"));
    auto *measureIntervalCaption = new QLabel(tr("Measure Intervall"));
    auto *deltaTemperatureCaption = new QLabel(tr("Delta Temperature"));
    auto *deltaBrightnessCaption = new QLabel(tr("Delta Brightness"));
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

    // Whole degrees, truncated toward zero: -9 tenths show as 0.
    const qint32 tenths = report._S32(TemperatureOffset);
    _SetFittedText(temperatureLabel, QString::number(tenths / 10) + QStringLiteral(" \u00B0C"),
                   ValueWidth);
    _SetFittedText(brightnessLabel, QString::number(report._S32(BrightnessOffset)), ValueWidth);

    nameLabel->setText(report._NodeName());
}

void BrightView_t::_Poll() {
    _SendCommand(Ternix36::CommandHeader(Ternix36::OpRequest, Ternix36::KindBright),
                 Ternix36::CommandPort(Ternix36::KindBright));
}

void BrightView_t::_Configure() {
    QByteArray command(ConfigureSize, '\0');
    command.replace(0, Ternix36::HeaderSize,
                    Ternix36::CommandHeader(Ternix36::OpConfigure, Ternix36::KindBright));

    const qint32 measureInterval = _FieldValue(measureIntervalField);
    const qint32 pollInterval = _FieldValue(pollIntervalField);
    const qint32 deltaTemperature = _FieldValue(deltaTemperatureField);
    const qint32 deltaBrightness = _FieldValue(deltaBrightnessField);

    uchar *bytes = reinterpret_cast<uchar *>(command.data());
    // The intervals keep their low 16 bits: -1 goes out as FF FF.
    qToLittleEndian(quint16(measureInterval), bytes + MeasureIntervalOffset);
    qToLittleEndian(quint16(pollInterval), bytes + PollIntervalOffset);
    // Tenths of a degree, like the report; wraps in unsigned arithmetic rather
    // than overflowing a signed multiplication.
    qToLittleEndian(quint32(deltaTemperature) * 10u, bytes + DeltaTemperatureOffset);
    qToLittleEndian(quint32(deltaBrightness), bytes + DeltaBrightnessOffset);

    _SendCommand(command, Ternix36::CommandPort(Ternix36::KindBright));
}
