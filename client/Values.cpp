// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/Values.h"

#include <cmath>

namespace Values {

double toNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

bool isNumber(const QString &text)
{
    if (text.isEmpty() || text.at(0).isSpace() || text.back().isSpace())
        return false;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

int toInteger(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

quint16 toPort(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok && value >= 1 && value <= 65535 ? quint16(value) : 0;
}

} // namespace Values
