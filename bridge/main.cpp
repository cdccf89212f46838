// SPDX-License-Identifier: GPL-3.0-or-later
// ternix36-bridge: the nodes of one or more links in an MQTT broker, with
// Home Assistant discovery. See ternix36-bridge(1).

#include "bridge/Bridge.h"
#include "bridge/BridgeOptions.h"
#include "bridge/TermSignal.h"
#include "mqtt/Log.h"

#include <QCoreApplication>
#include <QHostInfo>
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
    if (!BridgeOptions_t::_Parse(QCoreApplication::arguments(), QHostInfo::localHostName(),
                                 &options, &error, &help, &helpText)) {
        Log::_Write(Log::Error, error + QStringLiteral(" (see --help)"));
        return UsageError;
    }
    if (help) {
        std::fputs(helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }

    QList<Bridge_t::Interface_t> interfaces;
    for (const QString &name : std::as_const(options.interfaceNames)) {
        const QNetworkInterface interface = QNetworkInterface::interfaceFromName(name);
        if (!interface.isValid()) {
            Log::_Write(Log::Error, QStringLiteral("no network interface named %1").arg(name));
            return Failure;
        }
        interfaces.append({name, uint(interface.index())});
    }

    Bridge_t bridge(options, interfaces);
    TermSignal_t termSignal;
    QObject::connect(&termSignal, &TermSignal_t::received, &bridge, &Bridge_t::_Stop);
    QObject::connect(&bridge, &Bridge_t::finished, &application, &QCoreApplication::exit);
    if (!bridge._Start(&error)) {
        Log::_Write(Log::Error, error);
        return Failure;
    }
    return application.exec();
}
