// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Follows the simulator's datagram log: one JSON object per line, appended
// while the test runs.

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTest>

#include <functional>
#include <optional>

class SimLog {
public:
    using Match = std::function<bool(const QJsonObject &)>;

    explicit SimLog(const QString &path)
        : path(path) {}

    // Every complete line so far.
    QList<QJsonObject> entries() const {
        QList<QJsonObject> result;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return result;
        const QByteArray text = file.readAll();
        const qsizetype end = text.lastIndexOf('\n');
        if (end < 0)
            return result;
        for (const QByteArray &line : text.left(end).split('\n'))
            result.append(QJsonDocument::fromJson(line).object());
        return result;
    }

    int size() const { return int(entries().size()); }

    QList<QJsonObject> matching(const Match &match, int from = 0) const {
        QList<QJsonObject> result;
        const QList<QJsonObject> all = entries();
        for (qsizetype i = from; i < all.size(); ++i)
            if (match(all[i]))
                result.append(all[i]);
        return result;
    }

    // Waits for the first entry from line `from` on that matches; its line
    // number goes to `line`.
    std::optional<QJsonObject> waitFor(const Match &match, int from = 0, int *line = nullptr,
                                       int timeoutMs = 10000) const {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            const QList<QJsonObject> all = entries();
            for (qsizetype i = from; i < all.size(); ++i) {
                if (match(all[i])) {
                    if (line)
                        *line = int(i);
                    return all[i];
                }
            }
            if (deadline.hasExpired())
                return std::nullopt;
            QTest::qWait(20);
        }
    }

    static Match event(const char *event, const char *note, const QString &node = QString()) {
        return [=](const QJsonObject &entry) {
            return entry[QLatin1String("event")].toString() == QLatin1String(event) &&
                   entry[QLatin1String("note")].toString() == QLatin1String(note) &&
                   (node.isEmpty() || entry[QLatin1String("src")].toString() == node ||
                    entry[QLatin1String("dst")].toString() == node);
        };
    }

private:
    QString path;
};
