// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The colours the station's states are shown in, one row each in the table
// of Colours.cpp: an HV module's status, an amplifier's alert, the badges
// laid over a panel, the alarms, the link's mark and what the trends draw. Every place
// that paints one of these states takes its colour from here, so that the
// Start button, the trends' status band and their legend can never disagree.
// The table holds plain numbers and texts; the widget side makes its brushes
// and pens from them.
namespace Colours {

enum class Colour {
    // An HV module's status, in the order of HVRules::StatusColour.
    StatusGreen,  // on and carrying voltage
    StatusGrey,   // off, or on at no voltage
    StatusYellow, // ramping up ("L2H")
    StatusBlue,   // ramping down ("H2L")
    StatusRed,    // any other status
    // An amplifier panel whose device raised an alert (overload, error).
    AmplifierAlert,
    // A device node that has stopped answering: amber, a warning, not an
    // alarm; and the badge's frame.
    SilenceBadge,
    SilenceBadgeFrame,
    // A panel whose settings differ from a compared snapshot, and its frame.
    DifferenceBadge,
    DifferenceBadgeFrame,
    // The text on a badge.
    BadgeText,
    // An alarm, by its severity: what needs someone now (red, white text)
    // and what needs a look (yellow, black text), each with its frame; the
    // grey of a shelved alarm.
    AlarmMajor,
    AlarmMajorText,
    AlarmMajorFrame,
    AlarmMinor,
    AlarmMinorText,
    AlarmMinorFrame,
    AlarmShelved,
    // A set voltage refused for being above the usable maximum; an edit
    // held back because the link was not ready (pale: the text is fine, it
    // only has not gone out).
    RefusedSetV,
    UnsentEdit,
    // The link's mark: ready, on its way, down.
    LinkReady,
    LinkPending,
    LinkDown,
    // The trends: overloads and link outages shaded over the curve, and
    // the voltage curve itself.
    OverloadShade,
    OutageShade,
    VoltageCurve,
};

struct Rgba
{
    int red;
    int green;
    int blue;
    int alpha;
};

Rgba rgba(Colour colour);
// The colour as a style sheet writes it: "rgb(r, g, b)", or
// "rgba(r, g, b, a)" when it is not opaque.
QString css(Colour colour);
// A whole style sheet of one background colour:
// "background-color: rgb(r, g, b);".
QString background(Colour colour);

} // namespace Colours
