// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

// The nodes that a bridge keeps in the broker, link by link, as it publishes
// them retained on B/ID/LINK/nodes: a JSON array of addresses. After a
// restart it is read back whole, one message per link, where a wildcard
// subscription to thousands of retained topics would be cut short by the
// broker's queue limits.
class NodeIndex_t {
public:
    // True when the node is new to its link's list.
    bool _Add(const QString &link, const QString &address);
    void _Remove(const QString &link, const QString &address);
    // A link's list as read back; its addresses join the list.
    static QStringList _Parse(const QByteArray &payload);
    QByteArray _Payload(const QString &link) const;
    QStringList _Links() const { return lists.keys(); }
    // The links whose lists changed since they were last taken.
    QStringList _TakeChanged();

private:
    QHash<QString, QSet<QString>> lists;
    QSet<QString> changed;
};
