// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/Config.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What the simulator takes from a station INI file, the same file Brenlow
// reads: the key file and port of the server, and one device node for every
// amplifier and HV module (the module's driver, or driver "." channel), with
// the amplifier's time-constant and range tables so that the simulated device
// offers the values the panel sends.
struct StationDevice
{
    enum Kind { Amplifier, Hv };
    Kind kind = Amplifier;
    QString node;
    QStringList timeConstants;
    QStringList ranges;
    // An HV module whose voltage list holds only voltages of 0 and below
    // (at least one below) is a negative supply.
    bool negative = false;
};

struct StationConfig
{
    // Without a station file: Brenlow's own defaults.
    QString keyFile = QString::fromLatin1(Config::DefaultKeyFile); // ".key" is appended
    QString port = QString::fromLatin1(Config::DefaultServerPort);
    QVector<StationDevice> devices;

    // Reads path; false with a reason when the file cannot be read.
    bool read(const QString &path, QString &error);
    // Adds a device node unless one of that name and kind is there already
    // (several modules may name one node); false when the name is not a usable
    // node name or belongs to a device of the other kind.
    bool addDevice(const StationDevice &device);

    // A node name that the relay can address: not empty, no blanks, no ">".
    static bool isNodeName(const QString &name);
};

// Reads the words of a key file (any white space separates them); false with
// a reason when the file cannot be read or holds no word.
bool readKeyWords(const QString &path, QStringList &words, QString &error);
