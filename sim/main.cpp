// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/DatagramLog.h"
#include "sim/NodeFactory.h"
#include "sim/SimNode.h"
#include "sim/SimOptions.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QNetworkInterface>

#include <cstdio>

namespace {
constexpr int BadArgument = 2;
constexpr int CannotStart = 1;

int _Fail(int status, const QString &reason) {
    std::fprintf(stderr, "ternix36-sim: %s\n", qPrintable(reason));
    return status;
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);

    SimOptions_t options;
    QString error;
    if (!_ParseSimOptions(application.arguments().mid(1), options, &error))
        return _Fail(BadArgument, error);
    if (options.help) {
        std::fputs(qPrintable(_SimHelpText()), stdout);
        return 0;
    }
    if (QNetworkInterface::interfaceIndexFromName(options.interfaceName) == 0)
        return _Fail(BadArgument,
                     QStringLiteral("no interface named \"%1\"").arg(options.interfaceName));

    DatagramLog_t log;
    if (!log._Open(options.logPath, error))
        return _Fail(CannotStart, error);
    Simulator_t simulator(options, log);
    if (!simulator._Start(error))
        return _Fail(CannotStart, error);

    for (const SimNode_t *node : simulator._Nodes()) {
        QHostAddress address = node->_Address();
        address.setScopeId(options.interfaceName);
        std::printf("%-7s \"%s\" at %s, commands on port %u\n",
                    qPrintable(_WordOfKind(node->_Kind())), node->_Name().constData(),
                    qPrintable(address.toString()), unsigned(node->_CommandPort()));
    }
    // Scripts wait for this line before they start the program.
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}
