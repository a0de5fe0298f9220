// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/Device.h"
#include "devices/HVRules.h"

#include <QString>
#include <QStringList>
#include <optional>

// One high-voltage supply module, without any widget.
//
// On every ready link the device subscribes to its module node and asks for
// the module's values; replies and events addressed to its id come in
// through the client's delivery. It keeps what the operator's fields hold
// (the status word as shown, the set voltage with its list of entries, the
// ramp rate) and what the module reported (maximum voltage, limit, voltage,
// whether it may be driven from here), and from them the status colour of
// the Start button and the usable maximum. The operator's set voltage, ramp
// rate and Start presses go out as "SetRamp" and "SetV" lines to the module
// node; a set voltage above the module's usable maximum is refused instead
// (setVRefused), since the module would only limit it while it was shown as
// applied. Ramping down is never refused. Beyond the values the only state is
// whether a non-zero set voltage is taken to be on (applied).
class HvDevice : public Device
{
    Q_OBJECT

public:
    // The values the panel's contract names as fields of its own: the
    // module's maximum voltage and its limit (a fraction), whether a set
    // voltage is applied, and the tolerance under which an "ON" module
    // shows grey.
    struct State
    {
        double maxV = 0;
        double vLimit = 0;
        bool vApplied = false;
        double voltageTolerance = 0;
    };
    // The set voltage as the operator's box holds it: the list's entries,
    // the current entry (-1 for none), the text shown and whether any value
    // may be typed.
    struct SetVBox
    {
        QStringList entries;
        int index = -1;
        QString text;
        bool editable = true;
    };
    // What the panel shows, by the part that changed.
    enum class Field { Status, Voltage, RampRate, SetV, MaxV, Controllable, StatusColour };
    Q_ENUM(Field)

    explicit HvDevice(QObject *parent = nullptr);
    ~HvDevice() override;

    State &state() { return values; }
    const State &state() const { return values; }

    // Configuration, as the main window gives it: the list's entries are
    // appended (a single "0" for an empty list), the entry of that text is
    // chosen (the first one when none is), and the box takes typed values
    // or not.
    void setVoltageList(const QStringList &voltages);
    void selectVoltage(const QString &voltage);
    void setVoltageEditable(bool editable);

    const SetVBox &setV() const { return box; }
    QString statusText() const { return statusShown; }
    QString voltageText() const { return voltageShown; }
    QString rampText() const { return rampShown; }
    // The usable maximum as MaxV shows it; empty until the module answered
    // either of its two factors.
    QString maxVText() const { return maxVShown; }
    // Whether the module may be driven from here (Start enabled).
    bool isControllable() const { return controllable; }
    // The Start button's colour; none until the first status.
    std::optional<HVRules::StatusColour> statusColour() const { return colour; }

    // The operator's edits, as the panel's fields show them; nothing is
    // sent.
    void takeStatusText(const QString &text);
    void takeVoltageText(const QString &text);
    void takeRampText(const QString &text);
    // The operator's box as it stands: an entered value that the list lacks
    // is added to it by the box itself.
    void takeSetV(const QStringList &entries, int index, const QString &text);
    // Puts a voltage into the set voltage as its text, sending nothing:
    // Start applies it when the operator decides. A box that takes no typed
    // values chooses its entry of that text. False when the box does not
    // show the voltage afterwards.
    bool fillSetV(const QString &voltage);

    // The operator's actions.
    // The end of an edit of the set voltage: applied at once while a set
    // voltage is applied, otherwise only prepared for Start.
    void newSetV();
    void newRampRate();
    // Start: ramps down to zero while a set voltage is applied, otherwise
    // applies the set voltage.
    void hvOnOff();

    // The module's replies and events.
    void AnsGetMaxV(const SMsg &msg);
    void AnsGetVLimit(const SMsg &msg);
    void AnsGetV(const SMsg &msg);
    void AnsGetStat1(const SMsg &msg);
    void AnsGetRamp(const SMsg &msg);
    void AnsIsControllable(const SMsg &msg);
    void ChangedOnOff(const SMsg &msg);
    void ChangedStat(const SMsg &msg);
    void ChangedValue(const SMsg &msg);
    void ChangedRampRate(const SMsg &msg);

    SnapshotDifference::Scope scope() const override { return SnapshotDifference::Hv; }
    // The set voltage is the box's own text; the rest as the module
    // reported it on this link.
    QJsonValue reported(int setting) const override;
    // Only the set voltage is put back, and only filled in.
    Restore restoreOf(int setting) const override;
    bool put(int setting, const QJsonValue &value) override;
    QVector<Recorded> recordedMessages() const override;
    void askValues() override;
    bool awaitsAnswers() const override { return !hasAnswered(); }
    bool hasAnswered() const override
    {
        return lastMaxV && lastVLimit && lastV && lastRamp && lastStat;
    }

signals:
    void fieldChanged(HvDevice::Field field);
    // A set voltage above the usable maximum was refused: nothing was sent.
    void setVRefused();

protected:
    void startLink() override;
    // Its deviation from the set voltage applied to it.
    void reportKindAlarms(ModuleAlarms *alarms) override;

private:
    void show(Field field);
    void takeMessages();
    void applySetV();
    void setStatColor(const QString &status);
    void showMaxV();
    void sendRamp();
    void chooseSetV(int index);

    State values;
    SetVBox box;
    QString statusShown;
    QString voltageShown;
    QString rampShown;
    QString maxVShown;
    // The maximum and limit as the module reported them: what a set voltage
    // is refused against, whatever is written into state().
    double reportedMaxV = 0;
    double reportedVLimit = 0;
    // The magnitude of the set voltage last applied, which the module's
    // read voltage is held against while vApplied.
    double appliedV = 0;
    bool controllable = false;
    std::optional<HVRules::StatusColour> colour;
    // The module's answers on this link, as they came.
    std::optional<QString> lastMaxV;
    std::optional<QString> lastVLimit;
    std::optional<QString> lastV;
    std::optional<QString> lastRamp;
    std::optional<QString> lastStat;
};
