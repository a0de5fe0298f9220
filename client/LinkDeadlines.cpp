// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/LinkDeadlines.h"

#include "client/Logging.h"

#include <cerrno>
#include <cstring>
#include <iterator>

#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

// The shares of the timeout: the first probe after half of it, then one
// every fifth, so that the last of three probes goes unanswered a little
// after the timeout itself.
constexpr int IdleShare = 2;
constexpr int IntervalShare = 5;
constexpr int MsPerSecond = 1000;

int wholeSeconds(int ms)
{
    return qMax(1, (ms + MsPerSecond - 1) / MsPerSecond);
}

#ifdef Q_OS_UNIX
// One socket option, where the system has it, with the timing it takes.
struct Option
{
    const char *name;
    int level;
    int option;
    int LinkDeadlines::SocketTimings::*value;
};

const Option options[] = {
#if defined(TCP_KEEPIDLE)
    {"TCP_KEEPIDLE", IPPROTO_TCP, TCP_KEEPIDLE, &LinkDeadlines::SocketTimings::keepIdleS},
#elif defined(TCP_KEEPALIVE)
    // The same setting under the name some systems give it.
    {"TCP_KEEPALIVE", IPPROTO_TCP, TCP_KEEPALIVE, &LinkDeadlines::SocketTimings::keepIdleS},
#endif
#ifdef TCP_KEEPINTVL
    {"TCP_KEEPINTVL", IPPROTO_TCP, TCP_KEEPINTVL, &LinkDeadlines::SocketTimings::keepIntervalS},
#endif
#ifdef TCP_KEEPCNT
    {"TCP_KEEPCNT", IPPROTO_TCP, TCP_KEEPCNT, &LinkDeadlines::SocketTimings::keepCount},
#endif
#ifdef TCP_USER_TIMEOUT
    {"TCP_USER_TIMEOUT", IPPROTO_TCP, TCP_USER_TIMEOUT,
     &LinkDeadlines::SocketTimings::userTimeoutMs},
#endif
};
#endif

} // namespace

LinkDeadlines::SocketTimings LinkDeadlines::timingsFor(int timeoutMs)
{
    SocketTimings timings;
    if (timeoutMs <= 0)
        return timings;
    timings.keepIdleS = wholeSeconds(timeoutMs / IdleShare);
    timings.keepIntervalS = wholeSeconds(timeoutMs / IntervalShare);
    timings.keepCount = ProbeCount;
    timings.userTimeoutMs = timeoutMs;
    return timings;
}

int LinkDeadlines::apply(qintptr descriptor, int timeoutMs)
{
    if (timeoutMs <= 0 || descriptor < 0)
        return 0;
#ifdef Q_OS_UNIX
    const SocketTimings timings = timingsFor(timeoutMs);
    const int fd = int(descriptor);
    int set = 0;
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0)
        ++set;
    else
        qCDebug(lcClient).noquote() << QStringLiteral("Tesra: the system refuses SO_KEEPALIVE: %1")
                                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
    for (const Option &option : options) {
        const int value = timings.*option.value;
        if (setsockopt(fd, option.level, option.option, &value, sizeof value) == 0) {
            ++set;
            continue;
        }
        qCDebug(lcClient).noquote()
            << QStringLiteral("Tesra: the system refuses %1 = %2: %3; its own value stays")
                   .arg(QLatin1String(option.name))
                   .arg(value)
                   .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return set;
#else
    qCDebug(lcClient).noquote()
        << "Tesra: no keep-alive timings of its own on this system; the system's stay";
    return 0;
#endif
}

QString LinkDeadlines::handshakeCutOff(const QString &host, quint16 port)
{
    return tr("Cut off: no answer from the server during the handshake (%1:%2)")
        .arg(host)
        .arg(port);
}
