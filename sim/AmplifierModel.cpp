// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/AmplifierModel.h"

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
// The chamber current wanders by this fraction over this period: slow enough
// to read, wide enough to show the overload alert on a tight range.
constexpr double DriftFraction = 0.35;
constexpr double DriftPeriod = 40.0;
// A burst multiplies the chamber's current by this: three decades above its
// usual range, so that only a range that much larger holds it.
constexpr double BurstFactor = 1000.0;
// Largest suppression value and bias the device accepts.
constexpr double MaxSuppression = 1e-3;
constexpr double MaxBias = 10.0;

QVector<double> toNumbers(const QStringList &texts)
{
    QVector<double> out;
    for (const QString &text : texts) {
        double v = 0;
        if (SimDevice::toNumber(text, v) && v > 0)
            out.append(v);
    }
    return out;
}

// Two values name the same setting when they agree to well within the
// precision of their decimal texts.
bool sameValue(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

} // namespace

AmplifierModel::AmplifierModel(const QString &node, const QStringList &timeConstantTexts,
                               const QStringList &rangeTexts, double base, double phase)
    : SimDevice(node), timeConstants(toNumbers(timeConstantTexts)), ranges(toNumbers(rangeTexts)),
      baseCurrent(base), driftPhase(phase)
{
    if (timeConstants.isEmpty())
        timeConstants = toNumbers(defaultTimeConstants());
    if (timeConstants.size() > 12)
        timeConstants.resize(12);
    if (ranges.isEmpty())
        ranges = toNumbers(defaultRanges());
    restoreDefaults();
    DeviceEvents ignored;
    checkOverload(ignored);
}

QStringList AmplifierModel::defaultTimeConstants()
{
    return {QStringLiteral("0.0001"), QStringLiteral("0.0003"), QStringLiteral("0.001"),
            QStringLiteral("0.003"),  QStringLiteral("0.01"),   QStringLiteral("0.03"),
            QStringLiteral("0.1"),    QStringLiteral("0.3"),    QStringLiteral("1"),
            QStringLiteral("2"),      QStringLiteral("3"),      QStringLiteral("10")};
}

QStringList AmplifierModel::defaultRanges()
{
    QStringList out;
    for (int e = 3; e <= 11; ++e)
        out.append(QStringLiteral("1e-%1").arg(e));
    return out;
}

void AmplifierModel::restoreDefaults()
{
    backLight = 0;
    bias = 0;
    zeroCheck = 0;
    input = 1;
    csprUse = 1;
    filterUse = 0;
    tcIndex = std::min(7, int(timeConstants.size()) - 1);
    autoFilter = 0;
    cspr = 0;
    biasVoltage = 0;
    srqMask = 1;
    // The factory range is the one nearest to 10 nA: the chamber's current
    // sits comfortably inside it.
    int best = 0;
    for (int i = 1; i < ranges.size(); ++i) {
        if (std::fabs(std::log10(ranges[i] / 1e-8)) < std::fabs(std::log10(ranges[best] / 1e-8)))
            best = i;
    }
    rangeValue = ranges[best];
}

double AmplifierModel::chamberCurrent() const
{
    const double current =
        baseCurrent * (1 + DriftFraction * std::sin(2 * Pi * clock / DriftPeriod + driftPhase));
    for (const FaultWindow &burst : bursts) {
        if (burst.isActive())
            return current * BurstFactor;
    }
    return current;
}

void AmplifierModel::scheduleOverload(double at, double lasts)
{
    bursts.append(FaultWindow(at, lasts));
}

double AmplifierModel::measuredCurrent() const
{
    if (zeroCheck == 1)
        return 0;
    return chamberCurrent() - (csprUse == 1 ? cspr : 0);
}

void AmplifierModel::checkOverload(DeviceEvents &events)
{
    const bool over = std::fabs(measuredCurrent()) > rangeValue;
    if (over == srq)
        return;
    srq = over;
    if (srqMask & 1)
        events.append(
            {QStringLiteral("_SRQChanged"), srq ? QStringLiteral("1") : QStringLiteral("0")});
}

void AmplifierModel::setRange(double value, DeviceEvents &events)
{
    if (sameValue(value, rangeValue))
        return;
    rangeValue = value;
    events.append({QStringLiteral("_RangeChanged"), number(rangeValue)});
}

QString AmplifierModel::argError(const QString &reason)
{
    latched[ArgError] = true;
    return error(reason);
}

QString AmplifierModel::setChoice(int &field, const QString &params, int max, DeviceEvents &events)
{
    int value = 0;
    if (!toChoice(params, max, value))
        return argError(QStringLiteral("argument must be a whole number from 0 to %1").arg(max));
    field = value;
    checkOverload(events);
    return ok();
}

QString AmplifierModel::timeConstantCode() const
{
    if (tcIndex == 0)
        return QStringLiteral(".");
    if (tcIndex == 1)
        return QStringLiteral("/");
    return QString::number(tcIndex - 2);
}

QString AmplifierModel::statusText() const
{
    // H, J, K, M, R, S, W and Y report settings this simulation does not
    // model; the device reports them as 0.
    return QStringLiteral("CA5350A%1B%2C%3H0I%4J0K0M0N%5P%6R0S0T%7W0Y0Z%8")
        .arg(backLight)
        .arg(bias)
        .arg(zeroCheck)
        .arg(input)
        .arg(csprUse)
        .arg(filterUse)
        .arg(timeConstantCode())
        .arg(autoFilter);
}

QString AmplifierModel::errorStatusText() const
{
    bool bits[10];
    for (int i = 0; i < 10; ++i)
        bits[i] = latched[i];
    bits[5] = csprUse == 1 && std::fabs(cspr) > rangeValue;
    bits[9] = srq;
    QString text = QStringLiteral("CA5350");
    for (bool b : bits)
        text += b ? QLatin1Char('1') : QLatin1Char('0');
    return text;
}

QString AmplifierModel::handle(const QString &command, const QString &params, DeviceEvents &events)
{
    if (command == QLatin1String("GetStatus"))
        return statusText();
    if (command == QLatin1String("GetErrorStatus")) {
        QString text = errorStatusText();
        for (bool &b : latched)
            b = false;
        return text;
    }
    if (command == QLatin1String("GetRange"))
        return number(rangeValue);
    if (command == QLatin1String("GetCurrentSurpressionValue"))
        return number(cspr);
    if (command == QLatin1String("GetVoltageBiasRange"))
        return number(biasVoltage);
    if (command == QLatin1String("GetSRQ"))
        return srq ? QStringLiteral("1") : QStringLiteral("0");
    if (command == QLatin1String("GetDisplayMsg"))
        return display;
    if (command == QLatin1String("IsBusy"))
        return QStringLiteral("0");

    if (command == QLatin1String("SetRange")) {
        double value = 0;
        if (!toNumber(params, value))
            return argError(QStringLiteral("range is not a number"));
        for (double r : qAsConst(ranges)) {
            if (sameValue(r, value)) {
                setRange(r, events);
                checkOverload(events);
                return ok(number(rangeValue));
            }
        }
        return argError(QStringLiteral("no range %1").arg(params.trimmed()));
    }
    if (command == QLatin1String("SetZeroCheck"))
        return setChoice(zeroCheck, params, 1, events);
    if (command == QLatin1String("SetCurrentSurpression"))
        return setChoice(csprUse, params, 1, events);
    if (command == QLatin1String("SetFilter"))
        return setChoice(filterUse, params, 1, events);
    if (command == QLatin1String("SetAutoFilter"))
        return setChoice(autoFilter, params, 1, events);
    if (command == QLatin1String("SetVoltageBias"))
        return setChoice(bias, params, 1, events);
    if (command == QLatin1String("SelectInput"))
        return setChoice(input, params, 1, events);
    if (command == QLatin1String("SetBacklight"))
        return setChoice(backLight, params, 2, events);
    if (command == QLatin1String("SetCurrentSurpressionValue")) {
        double value = 0;
        if (!toNumber(params, value) || std::fabs(value) > MaxSuppression) {
            latched[CsprSet] = true;
            return error(QStringLiteral("suppression value out of range"));
        }
        cspr = value;
        checkOverload(events);
        return ok(number(cspr));
    }
    if (command == QLatin1String("SetFilterDuration")) {
        double value = 0;
        if (!toNumber(params, value) || value <= 0)
            return argError(QStringLiteral("time constant is not a positive number"));
        // The device has a fixed set of time constants; it takes the nearest.
        int best = 0;
        for (int i = 1; i < timeConstants.size(); ++i) {
            if (std::fabs(std::log(timeConstants[i] / value)) <
                std::fabs(std::log(timeConstants[best] / value)))
                best = i;
        }
        tcIndex = best;
        return ok(number(timeConstants[best]));
    }
    if (command == QLatin1String("SetVoltageBiasRange")) {
        double value = 0;
        if (!toNumber(params, value) || std::fabs(value) > MaxBias)
            return argError(QStringLiteral("bias must be a number from -10 to 10"));
        biasVoltage = value;
        return ok(number(biasVoltage));
    }
    if (command == QLatin1String("SetSRQMask")) {
        bool okNumber = false;
        const int mask = params.trimmed().toInt(&okNumber, 10);
        if (!okNumber || mask < 0 || mask > 99)
            return argError(QStringLiteral("mask must be a number from 00 to 99"));
        srqMask = mask;
        return ok();
    }
    if (command == QLatin1String("SetDisplayMsg")) {
        display = params;
        return ok();
    }
    if (command == QLatin1String("RestorConfig")) {
        int which = 0;
        if (!toChoice(params, 9, which))
            return argError(QStringLiteral("configuration number must be 0 to 9"));
        const double oldRange = rangeValue;
        restoreDefaults();
        if (!sameValue(oldRange, rangeValue))
            events.append({QStringLiteral("_RangeChanged"), number(rangeValue)});
        checkOverload(events);
        return ok();
    }
    latched[CmdError] = true;
    return error(QStringLiteral("unknown command ") + command);
}

void AmplifierModel::advance(double seconds, DeviceEvents &events)
{
    if (seconds > 0)
        clock += seconds;
    for (FaultWindow &burst : bursts)
        burst.step(clock);
    checkOverload(events);
}
