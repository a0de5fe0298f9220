// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

// How long the client lets a link stay silent, or an attempt take, before it
// gives up on it.
//
// One timeout T (the station's "Dead Link Timeout") sets all of it. A ready
// link whose peer has vanished without a word (a cable pulled, a host gone)
// is noticed by the socket itself: keep-alive probes start after half of T
// of silence, follow every fifth of T and give up after ProbeCount
// unanswered ones, and data that stays unacknowledged for T ends the link
// where the system offers that (TCP_USER_TIMEOUT on Linux); the socket then
// reports an error. A connection attempt may take T, and so may the
// handshake from the moment the connection stands to the server's verdict.
// A timeout of 0 keeps the system's timings and sets no deadline.
class LinkDeadlines
{
    Q_DECLARE_TR_FUNCTIONS(LinkDeadlines)

public:
    static constexpr int DefaultMs = 10000;
    static constexpr int ProbeCount = 3;

    // The socket's own timings for a timeout, in the units the system takes
    // them: whole seconds (at least 1) for the keep-alive, milliseconds for
    // unacknowledged data.
    struct SocketTimings
    {
        int keepIdleS = 0;
        int keepIntervalS = 0;
        int keepCount = 0;
        int userTimeoutMs = 0;
    };
    static SocketTimings timingsFor(int timeoutMs);

    // Turns keep-alive on with the timings of timeoutMs on a connected
    // socket's descriptor. Each option the system refuses or lacks is named
    // in the debug log; the link works on with the system's value for it.
    // Returns the number of options set. Does nothing for a timeout of 0.
    static int apply(qintptr descriptor, int timeoutMs);

    // What the status bar says of a handshake that was cut off.
    static QString handshakeCutOff(const QString &host, quint16 port);
};
