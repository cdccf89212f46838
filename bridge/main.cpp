// SPDX-License-Identifier: GPL-3.0-or-later
// ternix36-bridge: the nodes of one link in an MQTT broker, with Home
// Assistant discovery. See ternix36-bridge(1).

#include "bridge/Bridge.h"
#include "bridge/BridgeOptions.h"
#include "bridge/Log.h"
#include "bridge/TermSignal.h"

#include <QCoreApplication>
#include <QNetworkInterface>

#include <cstdio>

namespace {
constexpr int UsageError = 2;
constexpr int Failure = 1;
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ternix36-bridge"));

    BridgeOptions_t options;
    QString error;
    bool help = false;
    QString helpText;
    if (!BridgeOptions_t::_Parse(QCoreApplication::arguments(), &options, &error, &help,
                                 &helpText)) {
        Log::_Write(Log::Error, error + QStringLiteral(" (see --help)"));
        return UsageError;
    }
    if (help) {
        std::fputs(helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }

    const QNetworkInterface interface = QNetworkInterface::interfaceFromName(options.interfaceName);
    if (!interface.isValid()) {
        Log::_Write(Log::Error,
                    QStringLiteral("no network interface named %1").arg(options.interfaceName));
        return Failure;
    }

    Bridge_t bridge(options, uint(interface.index()));
    TermSignal_t termSignal;
    QObject::connect(&termSignal, &TermSignal_t::received, &bridge, &Bridge_t::_Stop);
    QObject::connect(&bridge, &Bridge_t::finished, &application, &QCoreApplication::quit);
    if (!bridge._Start(&error)) {
        Log::_Write(Log::Error, error);
        return Failure;
    }
    return application.exec();
}
