// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Colours.h"

#include <iterator>

namespace Colours {
namespace {

constexpr int Opaque = 255;

struct Row
{
    Colour colour;
    Rgba rgba;
};

// In the order of Colour; checked below.
constexpr Row Table[] = {
    {Colour::StatusGreen, {180, 255, 180, Opaque}},
    {Colour::StatusGrey, {200, 200, 200, Opaque}},
    {Colour::StatusYellow, {250, 250, 190, Opaque}},
    {Colour::StatusBlue, {180, 180, 255, Opaque}},
    {Colour::StatusRed, {255, 190, 190, Opaque}},
    {Colour::AmplifierAlert, {255, 200, 200, Opaque}},
    {Colour::SilenceBadge, {255, 190, 0, Opaque}},
    {Colour::SilenceBadgeFrame, {150, 100, 0, Opaque}},
    {Colour::DifferenceBadge, {255, 220, 120, Opaque}},
    {Colour::DifferenceBadgeFrame, {190, 130, 0, Opaque}},
    {Colour::BadgeText, {0, 0, 0, Opaque}},
    {Colour::AlarmMajor, {210, 30, 30, Opaque}},
    {Colour::AlarmMajorText, {255, 255, 255, Opaque}},
    {Colour::AlarmMajorFrame, {120, 0, 0, Opaque}},
    {Colour::AlarmMinor, {250, 210, 60, Opaque}},
    {Colour::AlarmMinorText, {0, 0, 0, Opaque}},
    {Colour::AlarmMinorFrame, {170, 130, 0, Opaque}},
    {Colour::AlarmShelved, {150, 150, 150, Opaque}},
    {Colour::RefusedSetV, {255, 215, 170, Opaque}},
    {Colour::UnsentEdit, {255, 245, 170, Opaque}},
    {Colour::LinkReady, {40, 180, 70, Opaque}},
    {Colour::LinkPending, {235, 190, 0, Opaque}},
    {Colour::LinkDown, {220, 40, 40, Opaque}},
    {Colour::OverloadShade, {255, 120, 0, 60}},
    {Colour::OutageShade, {120, 120, 120, 70}},
    {Colour::VoltageCurve, {20, 60, 160, Opaque}},
};

constexpr bool inOrder()
{
    for (int i = 0; i < int(std::size(Table)); ++i) {
        if (int(Table[i].colour) != i)
            return false;
    }
    return int(std::size(Table)) == int(Colour::VoltageCurve) + 1;
}
static_assert(inOrder(), "one row per colour, in the order of Colour");

} // namespace

Rgba rgba(Colour colour)
{
    return Table[int(colour)].rgba;
}

QString css(Colour colour)
{
    const Rgba c = rgba(colour);
    if (c.alpha == Opaque)
        return QStringLiteral("rgb(%1, %2, %3)").arg(c.red).arg(c.green).arg(c.blue);
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red).arg(c.green).arg(c.blue).arg(c.alpha);
}

QString background(Colour colour)
{
    return QStringLiteral("background-color: %1;").arg(css(colour));
}

} // namespace Colours
