// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SignalWatcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};

} // namespace

SignalWatcher::SignalWatcher(QObject *parent) : QObject(parent) {}

SignalWatcher::~SignalWatcher()
{
    if (pipeEnds[0] >= 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        delete notifier;
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        pipeEnds[0] = pipeEnds[1] = -1;
    }
}

bool SignalWatcher::install()
{
    if (pipeEnds[0] >= 0)
        return false;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeEnds) != 0)
        return false;
    notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = &SignalWatcher::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

void SignalWatcher::handler(int signalNumber)
{
    // Only async-signal-safe work here: one byte into the socket pair.
    const char byte = char(signalNumber);
    const ssize_t written = ::write(pipeEnds[0], &byte, 1);
    (void)written;
}

void SignalWatcher::readSignal()
{
    notifier->setEnabled(false);
    char byte = 0;
    const ssize_t got = ::read(pipeEnds[1], &byte, 1);
    notifier->setEnabled(true);
    if (got == 1)
        emit terminate(int(byte));
}
