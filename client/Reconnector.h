// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/Tesra.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

// Brings a lost link back by itself.
//
// It watches the client's link state. After a loss or a failed attempt (the
// connection refused or not made in time, or the handshake not through:
// the server closed the link, or did not answer in time) it waits and then
// restarts the client's link; each further failure doubles the wait, up to
// a ceiling. Only a link that became ready
// resets the wait to the first interval, so a server that accepts and
// closes at once is not hammered. Every attempt is the client's own
// ReConnect, which gives up the old socket before it opens the next, so
// there is never more than one. With an interval of 0 it does nothing: a
// lost link then stays lost until someone reconnects it.
class Reconnector : public QObject
{
    Q_OBJECT

public:
    // The longest wait between two attempts.
    static constexpr int MaxGapMs = 60000;

    // interval: the first wait in milliseconds; 0 or less turns it off.
    // maxGap: the ceiling of the doubling, never below the interval.
    Reconnector(Tesra *client, int intervalMs, QObject *parent = nullptr, int maxGapMs = MaxGapMs);

    bool isOn() const { return interval > 0; }
    int intervalMs() const { return interval; }
    // True while it waits to make the next attempt.
    bool isWaiting() const { return timer.isActive(); }
    // The number of the attempt it waits for (1 for the first after a
    // loss), or 0 while not waiting.
    int attempt() const { return isWaiting() ? attempts : 0; }
    // Whole seconds, rounded up, until the next attempt; 0 while not waiting.
    int secondsToAttempt() const;

signals:
    // A wait of gapMs has begun; attempt numbers it.
    void RetryScheduled(int gapMs, int attempt);

private:
    void linkStateChanged(Tesra::LinkState state);
    void retry();

    Tesra *client;
    QTimer timer;
    int interval;
    int maxGap;
    int gap;
    int attempts = 0;
};
