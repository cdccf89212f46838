// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace Bench {

// A program of the system, e.g. "mosquitto": its path, empty when missing.
QString Program(const char *name);

// Runs the event loop until `done`; false when it took longer than timeoutMs.
bool WaitFor(const std::function<bool()> &done, int timeoutMs);

// A private mosquitto on a free port of 127.0.0.1: its default
// configuration but for the listener, and nothing kept on disk.
class Broker {
public:
    Broker();
    ~Broker();
    Broker(const Broker &) = delete;
    Broker &operator=(const Broker &) = delete;

    bool isListening() const { return listening; }
    quint16 port() const { return listenPort; }

private:
    QTemporaryDir work;
    quint16 listenPort = 0;
    QProcess process;
    bool listening = false;
};

} // namespace Bench
