// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/Logging.h"

Q_LOGGING_CATEGORY(lcClient, "brenlow.client")
Q_LOGGING_CATEGORY(lcConfig, "brenlow.config")
Q_LOGGING_CATEGORY(lcAmplifier, "brenlow.amplifier")
Q_LOGGING_CATEGORY(lcHv, "brenlow.hv")
Q_LOGGING_CATEGORY(lcWindow, "brenlow.window")
Q_LOGGING_CATEGORY(lcHistory, "brenlow.history")
Q_LOGGING_CATEGORY(lcAlarm, "brenlow.alarm")
// Every relayed line would flood the terminal, so only information and worse
// are on by default.
Q_LOGGING_CATEGORY(lcSim, "brenlow.sim", QtInfoMsg)
