// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/Reconnector.h"

#include "client/Logging.h"

#include <QtGlobal>

Reconnector::Reconnector(Tesra *c, int intervalMs, QObject *parent, int maxGapMs)
    : QObject(parent), client(c), interval(qMax(0, intervalMs)), maxGap(qMax(maxGapMs, interval)),
      gap(interval)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &Reconnector::retry);
    if (client && isOn()) {
        connect(client, &Tesra::LinkStateChanged, this, &Reconnector::linkStateChanged);
        linkStateChanged(client->linkState());
    }
}

int Reconnector::secondsToAttempt() const
{
    if (!isWaiting())
        return 0;
    // A coarse timer may report a little more than it was given.
    const int remaining = qMin(timer.remainingTime(), timer.interval());
    return (remaining + 999) / 1000;
}

void Reconnector::linkStateChanged(Tesra::LinkState state)
{
    switch (state) {
    case Tesra::LinkState::Ready:
        timer.stop();
        gap = interval;
        attempts = 0;
        return;
    case Tesra::LinkState::Lost:
    case Tesra::LinkState::Refused:
        if (timer.isActive())
            return;
        ++attempts;
        timer.start(gap);
        qCDebug(lcClient).noquote()
            << QStringLiteral("Tesra: next attempt (%1) in %2 ms").arg(attempts).arg(gap);
        emit RetryScheduled(gap, attempts);
        gap = qMin(gap * 2, maxGap);
        return;
    case Tesra::LinkState::Connecting:
    case Tesra::LinkState::Handshake:
    case Tesra::LinkState::Idle:
    case Tesra::LinkState::NoValidPort:
    case Tesra::LinkState::NoValidName:
        // An attempt is under way, whoever started it, or there is nothing
        // to retry.
        timer.stop();
        return;
    }
}

void Reconnector::retry()
{
    const Tesra::LinkState state = client->linkState();
    if (state == Tesra::LinkState::Lost || state == Tesra::LinkState::Refused)
        client->ReConnect();
}
