// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/HVRules.h"

#include "client/Values.h"

#include <QtMath>

namespace HVRules {

namespace {

// The status colours follow each other in the colour table as they do here.
static_assert(int(Colours::Colour::StatusRed) - int(Colours::Colour::StatusGreen) + 1 ==
                  StatusColourCount,
              "one row of the colour table per status colour");

QString styleSheet(StatusColour colour)
{
    return Colours::background(colourOf(colour));
}

} // namespace

Colours::Colour colourOf(StatusColour colour)
{
    return Colours::Colour(int(Colours::Colour::StatusGreen) + int(colour));
}

const QString GreenStyle = styleSheet(StatusColour::Green);
const QString GreyStyle = styleSheet(StatusColour::Grey);
const QString YellowStyle = styleSheet(StatusColour::Yellow);
const QString BlueStyle = styleSheet(StatusColour::Blue);
const QString RedStyle = styleSheet(StatusColour::Red);

double toModuleValue(const QString &text)
{
    QString cleaned = text;
    cleaned.replace(QLatin1Char('V'), QLatin1Char(' '));
    return Values::toNumber(cleaned);
}

QString formatVoltage(double value)
{
    return QString::number(value, 'g', 6);
}

double usableMaximum(double maxV, double vLimit)
{
    return maxV * vLimit;
}

bool aboveUsableMaximum(double voltage, double maxV, double vLimit)
{
    if (maxV == 0.0 || vLimit == 0.0)
        return false;
    // The limit is a percentage read from text, so the product carries the
    // rounding of a decimal fraction: 3000 at 33.3 % comes out as
    // 998.9999999999999, shown as 999. A value that far above it is taken as
    // at the maximum, so that typing what MaxV shows is never refused.
    constexpr double RoundingSlack = 1e-9;
    const double maximum = qAbs(usableMaximum(maxV, vLimit));
    return qAbs(voltage) > maximum * (1 + RoundingSlack);
}

bool acceptsSetVoltage(const QString &status)
{
    return status == QLatin1String("ON") || status == QLatin1String("H2L") ||
           status == QLatin1String("L2H");
}

bool isSwitchedOn(const QString &value)
{
    return Values::toInteger(value) == 1;
}

namespace {

// The colour of a status word, with the voltage asked for only when the
// word is "ON": every value event comes through here, and for the other
// words the value's text need not be read as a number at all. Blanks around
// the word do not count; the view compares without building a copy.
template <typename Voltage>
StatusColour colourOf(QStringView status, Voltage nowV, double tolerance)
{
    const QStringView word = status.trimmed();
    if (word == QLatin1String("ON"))
        return qAbs(nowV()) > tolerance ? StatusColour::Green : StatusColour::Grey;
    if (word == QLatin1String("OFF"))
        return StatusColour::Grey;
    if (word == QLatin1String("L2H"))
        return StatusColour::Yellow;
    if (word == QLatin1String("H2L"))
        return StatusColour::Blue;
    return StatusColour::Red;
}

} // namespace

StatusColour statusColour(QStringView status, double nowV, double tolerance)
{
    return colourOf(
        status, [nowV] { return nowV; }, tolerance);
}

StatusColour statusColour(const QString &status, const QString &nowV, double tolerance)
{
    return colourOf(
        status, [&nowV] { return Values::toNumber(nowV); }, tolerance);
}

const QString &styleOf(StatusColour colour)
{
    switch (colour) {
    case StatusColour::Green:
        return GreenStyle;
    case StatusColour::Grey:
        return GreyStyle;
    case StatusColour::Yellow:
        return YellowStyle;
    case StatusColour::Blue:
        return BlueStyle;
    case StatusColour::Red:
        break;
    }
    return RedStyle;
}

const QString &statusStyle(const QString &status, const QString &nowV, double tolerance)
{
    return styleOf(statusColour(status, nowV, tolerance));
}

} // namespace HVRules
