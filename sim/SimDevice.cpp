// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimDevice.h"

#include <cmath>

SimDevice::~SimDevice() = default;

QString SimDevice::ok(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("Ok:") : QStringLiteral("Ok: ") + value;
}

QString SimDevice::error(const QString &reason)
{
    return QStringLiteral("Er: ") + reason;
}

bool SimDevice::toNumber(const QString &text, double &value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool SimDevice::toChoice(const QString &text, int max, int &value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < 0 || v > max)
        return false;
    value = v;
    return true;
}

QString SimDevice::number(double value)
{
    // 15 significant digits: values typed as decimal text (1e-6, 0.3) come
    // back as the same short text and read back as the same double.
    return QString::number(value, 'g', 15);
}

FaultWindow::Step FaultWindow::step(double clock)
{
    if (!begun && clock >= start) {
        begun = true;
        active = true;
        return Step::Begins;
    }
    if (active && length > 0 && clock >= start + length) {
        active = false;
        return Step::Ends;
    }
    return Step::None;
}

bool FaultWindow::reset()
{
    const bool was = active;
    active = false;
    return was;
}
