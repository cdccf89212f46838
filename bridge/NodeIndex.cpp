// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/NodeIndex.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

bool NodeIndex_t::_Add(const QString &link, const QString &address) {
    QSet<QString> &list = lists[link];
    if (list.contains(address))
        return false;
    list.insert(address);
    changed.insert(link);
    return true;
}

void NodeIndex_t::_Remove(const QString &link, const QString &address) {
    const auto list = lists.find(link);
    if (list == lists.end() || !list->remove(address))
        return;
    changed.insert(link);
}

QStringList NodeIndex_t::_Parse(const QByteArray &payload) {
    QStringList addresses;
    for (const QJsonValue &address : QJsonDocument::fromJson(payload).array())
        if (address.isString())
            addresses.append(address.toString());
    return addresses;
}

// Empty for a link without nodes, which clears its retained list.
QByteArray NodeIndex_t::_Payload(const QString &link) const {
    const QSet<QString> list = lists.value(link);
    if (list.isEmpty())
        return QByteArray();
    QStringList sorted(list.begin(), list.end());
    std::sort(sorted.begin(), sorted.end());
    return QJsonDocument(QJsonArray::fromStringList(sorted)).toJson(QJsonDocument::Compact);
}

QStringList NodeIndex_t::_TakeChanged() {
    QStringList taken(changed.begin(), changed.end());
    changed.clear();
    return taken;
}
