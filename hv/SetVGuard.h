// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QComboBox;

// Shows on an HV panel's set-voltage box which voltages the module cannot
// reach.
//
// The panel tells it the module's maximum voltage and limit whenever either
// answer arrives. Entries of the box's list above the usable maximum are
// dimmed and say so in their tooltip; they stay in the list, so the list is
// still the one the station file gives. When the panel refuses a set voltage
// for being above the usable maximum, the guard marks the box (a style and a
// tooltip of its own) until its text is within the limit again, or the limit
// changes to admit it. While the usable maximum is not known nothing is above
// it, and the box looks as it always has.
class SetVGuard : public QObject
{
    Q_OBJECT

public:
    SetVGuard(QComboBox *box, QObject *parent);

    // The module's values as the panel keeps them (the limit as a fraction).
    void setModuleLimits(double maxV, double vLimit);
    // Whether a set voltage lies above the usable maximum.
    bool isAbove(double voltage) const;
    // Marks the box: its present text was refused.
    void markRefused();
    bool isMarked() const { return marked; }
    // The usable maximum as MaxV shows it.
    QString maximumText() const;
    // What the marked box and the dimmed entries say.
    QString aboveText() const;

    // The style of the marked box.
    static const QString MarkStyle;

private:
    void recheck();
    void showEntries();
    void clearMark();

    QComboBox *box;
    double maxV = 0;
    double vLimit = 0;
    bool marked = false;
    // What the box showed before it was marked.
    QString plainStyle;
    QString plainToolTip;
};
