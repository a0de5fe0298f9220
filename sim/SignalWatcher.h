// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal.
//
// The handler only writes one byte into a socket pair; a socket notifier on
// the other end emits terminate() from the event loop, where it is safe to
// close connections and quit.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

    // False when the socket pair or the handlers could not be set up.
    bool install();

signals:
    void terminate(int signalNumber);

private:
    static void handler(int signalNumber);
    void readSignal();

    QSocketNotifier *notifier = nullptr;
};
