// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/HvDeviationRule.h"

#include <QtMath>
#include <algorithm>

namespace {

constexpr double PercentBase = 100.0;

} // namespace

double HvDeviationRule::toleranceFor(double setV) const
{
    const double tolerance =
        rule.percent ? qAbs(setV) * rule.tolerance / PercentBase : rule.tolerance;
    return std::max(tolerance, rule.floorVolts);
}

void HvDeviationRule::update(const QString &status, double readV, bool hasSetV, double setV,
                             qint64 nowMs)
{
    const bool deviating = hasSetV && status.simplified() == QLatin1String("ON") &&
                           qAbs(qAbs(readV) - qAbs(setV)) > toleranceFor(setV);
    if (!deviating)
        since = 0;
    else if (since == 0)
        // 0 stands for "not deviating": a deviation at the epoch starts a
        // millisecond late.
        since = std::max<qint64>(nowMs, 1);
}

bool HvDeviationRule::holds(qint64 nowMs) const
{
    return since != 0 && nowMs >= since + rule.delayMs;
}

qint64 HvDeviationRule::dueMs() const
{
    return since == 0 ? 0 : since + rule.delayMs;
}
