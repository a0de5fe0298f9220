#include "hv/HVRules.h"

#include "client/Values.h"

#include <QtMath>

namespace HVRules {

const QString GreenStyle = QStringLiteral("background-color: rgb(180, 255, 180);");
const QString GreyStyle = QStringLiteral("background-color: rgb(200, 200, 200);");
const QString YellowStyle = QStringLiteral("background-color: rgb(250, 250, 190);");
const QString BlueStyle = QStringLiteral("background-color: rgb(180, 180, 255);");
const QString RedStyle = QStringLiteral("background-color: rgb(255, 190, 190);");

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

const QString &statusStyle(const QString &status, const QString &nowV, double tolerance)
{
    const QString word = status.simplified();
    if (word == QLatin1String("ON"))
        return qAbs(Values::toNumber(nowV)) > tolerance ? GreenStyle : GreyStyle;
    if (word == QLatin1String("OFF"))
        return GreyStyle;
    if (word == QLatin1String("L2H"))
        return YellowStyle;
    if (word == QLatin1String("H2L"))
        return BlueStyle;
    return RedStyle;
}

} // namespace HVRules
