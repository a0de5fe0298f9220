// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// The debug-log categories, one per subsystem, so that an operator can turn a
// subsystem's lines on or off with QT_LOGGING_RULES (for example
// "brenlow.client.debug=false"). Brenlow's own categories write debug lines
// by default, as the program always has; the simulator's relay trace is off
// until "brenlow.sim.debug=true" asks for it.
Q_DECLARE_LOGGING_CATEGORY(lcClient)    // brenlow.client: connection and key file
Q_DECLARE_LOGGING_CATEGORY(lcConfig)    // brenlow.config: what the station file names
Q_DECLARE_LOGGING_CATEGORY(lcAmplifier) // brenlow.amplifier: amplifier panels and tables
Q_DECLARE_LOGGING_CATEGORY(lcHv)        // brenlow.hv: HV panels
Q_DECLARE_LOGGING_CATEGORY(lcWindow)    // brenlow.window: start-up and layout
Q_DECLARE_LOGGING_CATEGORY(lcSim)       // brenlow.sim: the simulator's relay trace
Q_DECLARE_LOGGING_CATEGORY(lcHistory)   // brenlow.history: the history file
Q_DECLARE_LOGGING_CATEGORY(lcAlarm)     // brenlow.alarm: alarms raised, cleared, acknowledged
