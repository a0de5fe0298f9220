// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// A fault the simulator makes a device show: --fault NODE=WORD@SECONDS
// (an HV module's status word) and --overload NODE@SECONDS (an amplifier's
// overload); either may end in +SECONDS, how long the fault lasts.
struct SimFault
{
    QString node;
    QString word; // empty for an overload
    double at = 0;
    double lasts = 0; // 0: until the device is reset (an HV module) or for good
};

// The simulator's command line.
//
// parse() fills the options from the arguments (the program name first) and
// reports a usage error as text; it never exits, so it can be tested. The
// server only ever listens on a loopback address.
struct SimOptions
{
    QString address = QStringLiteral("127.0.0.1");
    int port = -1; // -1: from the station file, else 6058; 0: a free port
    QString stationFile;
    QString keyFile; // path of the key file itself; empty: from the station file
    QStringList amplifierNodes;
    QStringList hvNodes;
    // Device nodes that neither answer nor report anything, as a hung driver.
    QStringList mutedNodes;
    QVector<SimFault> faults;
    QVector<SimFault> overloads;
    QString logPath;      // "-": standard output
    double quitAfter = 0; // seconds; 0 runs until a signal
    double dropEvery = 0; // seconds between closing every client; 0: never
    double refuseFor = 0; // seconds new clients are turned away after each drop
    double hvVoltage = 0;
    double hvRampRate = 50;
    double hvTarget = -1; // volts the HV modules ramp to from the start; -1: they rest
    double hvEventRate =
        0; // voltage reports per second of every HV module, moving or not; 0: only while it moves
    bool help = false;
    bool version = false;
    QString helpText;

    // "tesra-sim VERSION" and the Qt version the simulator runs with.
    static QString versionText();

    bool parse(const QStringList &arguments, QString &error);

    // Reads NODE=WORD@SECONDS[+SECONDS] (withWord) or NODE@SECONDS[+SECONDS];
    // false for anything else.
    static bool parseFault(const QString &text, bool withWord, SimFault &fault);

    // True for 127.0.0.0/8, ::1 and "localhost" (taken as 127.0.0.1).
    static bool isLoopback(const QString &address);
};
