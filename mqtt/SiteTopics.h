// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

// The topics of every bridge under one base topic, as a console of the whole
// site reads and writes them (Topics_t has the layout of one bridge's).
class SiteTopics_t {
public:
    explicit SiteTopics_t(const QString &baseTopic);

    // What the console subscribes to: every node's report and availability,
    // and every bridge's availability.
    QStringList _Patterns() const;

    struct Message_t {
        enum Kind_t { Other, Report, NodeAvailability, BridgeAvailability };
        Kind_t kind = Other;
        QString bridge;
        QString link;         // but for a bridge's availability
        QHostAddress address; // without scope
        QString addressText;  // the level as it stands
    };
    // A topic taken apart; Other for one the console does not read, or
    // whose address is none.
    Message_t _Parse(const QString &topic) const;

    QString _DatagramSet(const QString &bridge, const QString &link,
                         const QString &addressText) const;
    QString _Probe(const QString &bridge) const;

private:
    QString base;
};
