// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/TermSignal.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalSockets[2] = {-1, -1};
} // namespace

TermSignal_t::TermSignal_t(QObject *parent)
    : QObject(parent) {
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets);
    notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TermSignal_t::_Readable);

    struct sigaction action = {};
    action.sa_handler = &TermSignal_t::_Handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void TermSignal_t::_Handle(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

void TermSignal_t::_Readable() {
    char byte;
    [[maybe_unused]] const ssize_t read = ::read(signalSockets[1], &byte, 1);
    emit received();
}
