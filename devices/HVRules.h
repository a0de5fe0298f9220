// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/Colours.h"

#include <QString>

// The value rules of the HV panel, kept apart from its widgets.
//
// The panel hands the texts it reads from its fields and from the module's
// replies to these functions: they turn voltages into numbers and back into
// the text sent to the module, and they pick the status colour of the Start
// button. Nothing here holds state; the style sheets are built once at
// program start and shared by every panel.
namespace HVRules {

// The status colours, rows of the colour table (Colours): the Start
// button's style sheets are made from them, and the trends window draws its
// status band with the same colours.
enum class StatusColour { Green, Grey, Yellow, Blue, Red };
// How many there are: Red is the last.
constexpr int StatusColourCount = int(StatusColour::Red) + 1;
Colours::Colour colourOf(StatusColour colour);
// The colour for a status text and the voltage shown next to it.
StatusColour statusColour(const QString &status, const QString &nowV, double tolerance);
// The same with the voltage as a number.
StatusColour statusColour(QStringView status, double nowV, double tolerance);
const QString &styleOf(StatusColour colour);

// Style sheets of the Start button, one per status colour.
extern const QString GreenStyle;  // on and carrying voltage
extern const QString GreyStyle;   // off, or on at no voltage
extern const QString YellowStyle; // ramping up ("L2H")
extern const QString BlueStyle;   // ramping down ("H2L")
extern const QString RedStyle;    // any other status

// A maximum-voltage or limit reply: every capital V is dropped before the
// text is read as a number, so "3000V" reads as 3000.
double toModuleValue(const QString &text);

// The shortest of fixed and exponent notation with at most six significant
// digits and no trailing zeros: 1500, 0.25, 1.23457e+06.
QString formatVoltage(double value);

// The highest voltage the module can reach: its maximum voltage times its
// limit (a fraction). 0 while either of them is unknown, that is not
// answered yet or answered 0.
double usableMaximum(double maxV, double vLimit);

// True when the usable maximum is known and a set voltage of this magnitude
// lies above its magnitude, so that the module could never reach it. A value
// at the maximum as the panel shows it is never above it.
bool aboveUsableMaximum(double voltage, double maxV, double vLimit);

// True for the statuses in which the module accepts a set voltage.
bool acceptsSetVoltage(const QString &status);

// True when an on/off or controllable value reads as the integer 1.
bool isSwitchedOn(const QString &value);

// The style sheet for a status text and the voltage shown next to it.
const QString &statusStyle(const QString &status, const QString &nowV, double tolerance);

} // namespace HVRules
