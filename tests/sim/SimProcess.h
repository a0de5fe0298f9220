// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// Runs the tesra-sim executable for one test.
//
// start() launches it on 127.0.0.1 with port 0 and the relay log on standard
// output, and waits (on the process's output, never sleeping) for the line
// that names the chosen port. The output keeps accumulating from the event
// loop, so tests can QTRY_* over log(). The destructor kills the process.
class SimProcess
{
public:
    SimProcess();
    ~SimProcess();

    bool start(const QStringList &arguments, const QString &workingDirectory = QString(),
               int timeoutMs = 10000);
    quint16 port() const { return listenPort; }
    // Everything the simulator printed so far.
    QString log();
    int count(const QString &text);
    // Ends it with SIGTERM and waits; true when it exited normally with status 0.
    bool terminate(int timeoutMs = 10000);

    QProcess process;

private:
    QByteArray output;
    quint16 listenPort = 0;
};
