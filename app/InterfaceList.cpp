// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InterfaceList.h"

#include <QNetworkAddressEntry>
#include <QNetworkInterface>

InterfaceDescription_t _Describe(const QNetworkInterface &interface) {
    InterfaceDescription_t description;
    description.humanReadableName = interface.humanReadableName();
    description.index = interface.index();
    description.isLoopBack = interface.flags().testFlag(QNetworkInterface::IsLoopBack);
    for (const QNetworkAddressEntry &entry : interface.addressEntries())
        description.addressProtocols.append(entry.ip().protocol());
    return description;
}

QList<InterfaceDescription_t> _DescribeAllInterfaces() {
    QList<InterfaceDescription_t> descriptions;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces())
        descriptions.append(_Describe(interface));
    return descriptions;
}

QList<InterfaceChoice_t> _UsableInterfaces(const QList<InterfaceDescription_t> &interfaces) {
    QList<InterfaceChoice_t> choices;
    for (const InterfaceDescription_t &interface : interfaces) {
        if (interface.isLoopBack || interface.humanReadableName == QLatin1String("eth0"))
            continue;
        if (interface.addressProtocols.contains(QAbstractSocket::IPv6Protocol))
            choices.append({interface.humanReadableName, QString::number(interface.index)});
    }
    return choices;
}
