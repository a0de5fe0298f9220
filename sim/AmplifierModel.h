// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimDevice.h"

#include <QString>
#include <QStringList>
#include <QVector>

// A simulated CA5350 current amplifier with its ion chamber.
//
// It keeps the amplifier's settings (back light, bias, zero check, input,
// current suppression, filter, range, service-request mask, display text)
// and reports them in the device's status text "CA5350A0B0C0..." and error
// status text "CA5350" plus ten digits. The chamber's current drifts slowly
// around a base value; when the current that reaches the amplifier exceeds
// the range the device raises "_SRQChanged 1", and "_SRQChanged 0" when it is
// back in range. A range change raises "_RangeChanged <range>".
//
// A scheduled overload is a burst of the chamber's current, far above the
// ranges the chamber normally needs, from a time on: the device raises its
// overload alert as it does for any current above the range, until the
// burst's time is up, or a range large enough is chosen, or the zero check
// or the suppression takes the current away.
class AmplifierModel : public SimDevice
{
public:
    // The time constants are in seconds in the order of the device's codes
    // (".", "/", then the digits 0 to 9); the ranges in amperes. Empty lists
    // take the device's own tables.
    AmplifierModel(const QString &node, const QStringList &timeConstants = QStringList(),
                   const QStringList &ranges = QStringList(), double baseCurrent = 3e-9,
                   double driftPhase = 0);

    QString handle(const QString &command, const QString &params, DeviceEvents &events) override;
    void advance(double seconds, DeviceEvents &events) override;

    QString statusText() const;
    // The error status; reading it through "GetErrorStatus" clears the latched
    // command errors, this accessor does not.
    QString errorStatusText() const;
    double range() const { return rangeValue; }
    // The current the chamber delivers now, and what reaches the range after
    // zero check and suppression.
    double chamberCurrent() const;
    double measuredCurrent() const;
    bool overloaded() const { return srq; }
    QString displayMessage() const { return display; }

    // From at seconds of the device's time on, the chamber's current bursts
    // for lasts seconds (0: for good).
    void scheduleOverload(double at, double lasts);

    static QStringList defaultTimeConstants();
    static QStringList defaultRanges();

private:
    enum ErrorBit { CmdError = 0, ArgError = 1, SelfCheck = 3, CsprSet = 4, MemError = 8 };

    void restoreDefaults();
    void setRange(double value, DeviceEvents &events);
    // Compares the current with the range and raises "_SRQChanged" on a change.
    void checkOverload(DeviceEvents &events);
    QString setChoice(int &field, const QString &params, int max, DeviceEvents &events);
    QString argError(const QString &reason);
    QString timeConstantCode() const;

    QVector<double> timeConstants;
    QVector<double> ranges;
    double baseCurrent;
    double driftPhase;
    double clock = 0;
    QVector<FaultWindow> bursts;

    int backLight = 0;  // A: 0 high, 1 low, 2 off
    int bias = 0;       // B
    int zeroCheck = 0;  // C
    int input = 1;      // I: 1 rear, 0 front
    int csprUse = 1;    // N
    int filterUse = 0;  // P
    int tcIndex = 7;    // T: index into timeConstants
    int autoFilter = 0; // Z
    double rangeValue = 1e-8;
    double cspr = 0;
    double biasVoltage = 0;
    int srqMask = 1;
    bool srq = false;
    QString display;
    bool latched[10] = {};
};
