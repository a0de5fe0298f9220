// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/AlarmStyle.h"

namespace AlarmStyle {

namespace {

struct Look
{
    AlarmConditions::Severity severity;
    QRgb fill;
    QRgb text;
    QRgb border;
};

// Red for what needs someone now, amber for what needs a look; the panels'
// own alert pink and the silent badge's orange stay distinct from both.
constexpr Look Looks[] = {
    {AlarmConditions::Severity::Minor, qRgb(250, 210, 60), qRgb(0, 0, 0), qRgb(170, 130, 0)},
    {AlarmConditions::Severity::Major, qRgb(210, 30, 30), qRgb(255, 255, 255), qRgb(120, 0, 0)},
};

constexpr QRgb Shelved = qRgb(150, 150, 150);

const Look &look(AlarmConditions::Severity severity)
{
    for (const Look &l : Looks) {
        if (l.severity == severity)
            return l;
    }
    return Looks[0];
}

QString rgb(QRgb colour)
{
    return QStringLiteral("rgb(%1, %2, %3)")
        .arg(qRed(colour))
        .arg(qGreen(colour))
        .arg(qBlue(colour));
}

} // namespace

QColor colour(AlarmConditions::Severity severity)
{
    return QColor(look(severity).fill);
}

QColor textColour(AlarmConditions::Severity severity)
{
    return QColor(look(severity).text);
}

QColor shelvedColour()
{
    return QColor(Shelved);
}

QString badgeStyle(AlarmConditions::Severity severity)
{
    const Look &l = look(severity);
    return QStringLiteral("background-color: %1; color: %2; border: 1px solid %3; "
                          "border-radius: 3px;")
        .arg(rgb(l.fill), rgb(l.text), rgb(l.border));
}

QString dimStyle(AlarmConditions::Severity severity)
{
    const Look &l = look(severity);
    return QStringLiteral("color: %1; border: 1px solid %1; border-radius: 3px;").arg(rgb(l.fill));
}

} // namespace AlarmStyle
