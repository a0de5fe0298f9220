// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeTesraServer.h"
#include "sim/AmplifierModel.h"
#include "sim/HvModel.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A station of one chamber whose devices are the simulator's models behind
// the fake server: amplifier section A (id amp1 at ca.1) and HV section H
// (id hv1 at hvps.2, set voltages 100 and 200). Every request to a device
// is answered as the simulator answers it, with the events it raises; the
// HV module can be made silent. The snapshot tests of the devices and of
// the window share it.
class SimStation
{
public:
    SimStation();

    bool isValid() const { return valid; }
    QTemporaryDir &dir() { return folder; }
    FakeTesraServer &server() { return fake; }
    AmplifierModel &amplifier() { return *amp; }
    // The HV module answers nothing while silent.
    void setHvSilent(bool silent) { hvSilent = silent; }

    // Writes the station file, aimed at the fake server; returns its path.
    QString writeStation();
    // Changes made at the amplifier by hand (commands such as
    // "SetRange 1e-5"); returns the events they raise, as lines to amp1.
    QStringList changeAmplifier(const QStringList &commands);

    // The ranges of the station's range table.
    static QStringList decades();

private:
    QStringList answer(const QString &line);

    QTemporaryDir folder;
    FakeTesraServer fake;
    std::unique_ptr<AmplifierModel> amp;
    std::unique_ptr<HvModel> module;
    bool hvSilent = false;
    bool valid = false;
};
