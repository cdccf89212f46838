// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/ItemView.h"

class QLineEdit;
class QPushButton;

// A brightness and temperature sensor: shows its readings, polls it, and sends
// it the four configuration values typed into the panel.
class BrightView_t : public ItemView_t {
    Q_OBJECT

public:
    BrightView_t(const QHostAddress &sender, const QByteArray &datagram);

    void _DataRead(const QByteArray &datagram) override;

private slots:
    void _Poll();
    void _Configure();

private:
    QPushButton *pollButton;
    QLabel *brightnessLabel;
    QLabel *temperatureLabel;
    QPushButton *configureButton;
    // The configuration lives only in these texts, read when "Configure" is pressed.
    QLineEdit *pollIntervalField;
    QLineEdit *measureIntervalField;
    QLineEdit *deltaTemperatureField;
    QLineEdit *deltaBrightnessField;
};
