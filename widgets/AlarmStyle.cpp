// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/AlarmStyle.h"

#include "devices/Colours.h"
#include "widgets/PanelMarker.h"
#include "widgets/QtColour.h"

namespace AlarmStyle {

namespace {

struct Look
{
    AlarmConditions::Severity severity;
    Colours::Colour fill;
    Colours::Colour text;
    Colours::Colour frame;
};

// Red for what needs someone now, yellow for what needs a look; the panels'
// own alert pink and the silent badge's amber stay distinct from both.
constexpr Look Looks[] = {
    {AlarmConditions::Severity::Minor, Colours::Colour::AlarmMinor, Colours::Colour::AlarmMinorText,
     Colours::Colour::AlarmMinorFrame},
    {AlarmConditions::Severity::Major, Colours::Colour::AlarmMajor, Colours::Colour::AlarmMajorText,
     Colours::Colour::AlarmMajorFrame},
};

const Look &look(AlarmConditions::Severity severity)
{
    for (const Look &l : Looks) {
        if (l.severity == severity)
            return l;
    }
    return Looks[0];
}

} // namespace

QColor colour(AlarmConditions::Severity severity)
{
    return qtColour(look(severity).fill);
}

QColor shelvedColour()
{
    return qtColour(Colours::Colour::AlarmShelved);
}

QString badgeStyle(AlarmConditions::Severity severity)
{
    const Look &l = look(severity);
    return PanelMarker::badgeStyle(l.fill, l.text, l.frame);
}

QString dimStyle(AlarmConditions::Severity severity)
{
    return QStringLiteral("color: %1; border: 1px solid %1; border-radius: 3px;")
        .arg(Colours::css(look(severity).fill));
}

} // namespace AlarmStyle
