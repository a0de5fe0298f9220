// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmConditions.h"

#include <QColor>
#include <QString>

// How alarms look, in one place: which rows of the colour table (Colours)
// each severity takes, for the alarm list's rows, the status bar's count,
// the panels' markers and the chamber groups' frames, and the grey of a
// shelved alarm.
namespace AlarmStyle {

QColor colour(AlarmConditions::Severity severity);
// A shelved alarm's row.
QColor shelvedColour();

// A panel marker or the status bar's count: the severity's colour.
QString badgeStyle(AlarmConditions::Severity severity);
// The status bar's count between two blinks of a major alarm.
QString dimStyle(AlarmConditions::Severity severity);

} // namespace AlarmStyle
