// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/CA5350Status.h"
#include "devices/Device.h"
#include "station/CSprTable.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class QTimer;

// One CA5350 current amplifier, without any widget.
//
// The device keeps what the operator has set on the amplifier's controls
// (the switches, the back light, the range, the time constant, the
// suppression table's entry, the typed values) and what the amplifier
// reported (its status, range, suppression value, bias voltage, alert). The
// controls behave as the panel's widgets do: a change of a switch or of a
// choice sends the matching command followed by the query that brings the
// answer back, two switches kept opposite send their command twice (once
// for each of them), and a choice that does not change sends nothing. A
// decoded status moves the controls as an operator would, so every control
// that the status changes sends its command back to the device, in the
// order of the status letters; the next status then agrees and the exchange
// ends. The panel (aCA) shows all of it and hands the operator's changes to
// the device; the command-line runs use the device alone and send the very
// same lines.
class AmplifierDevice : public Device
{
    Q_OBJECT

public:
    // The switches, as the panel's buttons show them. The filter mode, the
    // bias and the input are each a pair of buttons kept opposite; the
    // table source is one of two exclusive buttons (the other is "Set
    // Manually").
    enum class Switch {
        ZeroCheck,
        Suppression,
        Filter,
        FilterAuto,
        FilterManual,
        BiasOn,
        BiasOff,
        RearInput,
        FrontInput,
        TableSource,
    };
    Q_ENUM(Switch)
    static constexpr int SwitchCount = int(Switch::TableSource) + 1;
    // The back light's three exclusive settings, in the order of the
    // device's codes (0 high, 1 low, 2 off).
    enum class BackLight { High, Low, Off };
    Q_ENUM(BackLight)
    // What the panel shows, by the part that changed.
    enum class Field {
        Switches,
        BackLight,
        Range,
        TimeConstant,
        TableEntry,
        DisplayName,
        SuppressionEntry,
        BiasEntry,
        Status,
        SuppressionValue,
        BiasVoltage,
        Alert,
    };
    Q_ENUM(Field)

    // How often the error status is asked for when polling is on.
    static constexpr int PollIntervalMs = 500;
    // The suppression table a panel reads until it is given another.
    static QString defaultTableFile() { return QStringLiteral("CSprTable.txt"); }
    // A time-constant entry in seconds as the selector shows it: 300us,
    // 10ms, 2s.
    static QString timeConstantLabel(const QString &entry);

    explicit AmplifierDevice(QObject *parent = nullptr);
    ~AmplifierDevice() override;

    // Configuration, as the main window gives it.
    // The module's name as the amplifier's display shows it; sent at once
    // when the link is ready.
    void setDisplayName(const QString &name);
    void setTimeConstants(const QStringList &table);
    void setRanges(const QStringList &table);
    void setTableFile(const QString &fileName);
    // Whether the error status is asked for every PollIntervalMs once the
    // link is ready. Off by default.
    void setPollErrors(bool on);
    bool pollsErrors() const { return pollErrors; }

    void release() override;

    // What the controls show.
    bool isOn(Switch which) const { return switches.at(size_t(which)); }
    BackLight backLight() const { return light; }
    const QStringList &ranges() const { return rangeTable; }
    int rangeIndex() const { return rangeChoice; }
    const QStringList &timeConstants() const { return tcTable; }
    int timeConstantIndex() const { return tcChoice; }
    // The suppression table's entries as the selector lists them; a table
    // that fails to load again leaves the old list beside an empty table.
    const QStringList &tableItems() const { return tableList; }
    int tableIndex() const { return tableChoice; }
    const CSprTable &cSprTable() const { return csprTable; }
    QString cSprFile() const { return csprFile; }
    QString displayName() const { return nameText; }
    QString suppressionEntry() const { return suppressionText; }
    QString biasEntry() const { return biasText; }
    // What the amplifier reported: the status after the model name (empty
    // after a status of another model), the suppression value and the bias
    // voltage as they came.
    QString statusText() const { return statusBody; }
    QString suppressionValue() const { return suppressionShown; }
    QString biasVoltage() const { return biasShown; }
    // The last capture of a status letter (A, B, C, H, ... Z), or the empty
    // text for a letter that is not kept.
    QString statusOf(QChar letter) const { return status.capture(letter); }

    // The operator's changes, as the controls make them: a change runs what
    // the control's change runs, nothing runs when the control already shows
    // the value.
    void setSwitch(Switch which, bool on);
    void chooseBackLight(BackLight choice);
    void chooseRange(int index);
    void chooseTimeConstant(int index);
    void chooseTableEntry(int index);
    // The command the end of an edit of a typed value sends, or the empty
    // text when that text sends nothing (a suppression value of 0 or not a
    // number, a bias voltage of blanks).
    static QString displayCommand(const QString &text);
    static QString suppressionCommand(const QString &text);
    static QString biasCommand(const QString &text);
    // The end of an edit of a typed value: the text is taken and sent.
    void enterDisplayName(const QString &text);
    void enterSuppressionValue(const QString &text);
    void enterBiasVoltage(const QString &text);
    // The reported suppression value as the panel's field shows it, which
    // "Set Table" records.
    void takeSuppressionValue(const QString &text) { suppressionShown = text; }

    // What each control's change sends, on its own.
    void sendDisplayName();
    void sendZeroCheck(bool on);
    void reset();
    void sendRange(int index);
    void sendSuppressionUse(bool on);
    void sendSuppressionValue();
    void sendFilterUse(bool on);
    void sendTimeConstant(int index);
    void sendFilterMode();
    void sendBias();
    void sendBiasVoltage();
    void sendInput();
    void sendBackLight();
    void askStatus();
    void askErrorStatus();
    // The table source turned on takes the present range's table value.
    void applyTableSource(bool on);
    // The table's entry i fills the suppression value's field.
    void showTableEntry(int index);
    // Appends the present range and reported suppression value to the
    // table file, and reads the table again.
    void recordTableEntry();

    // The amplifier's replies and events.
    void AnsGetStatus(const SMsg &msg);
    void AnsGetRange(const SMsg &msg);
    void AnsGetCurrentSurpressionValue(const SMsg &msg);
    void AnsGetVoltageBiasRange(const SMsg &msg);
    void AnsGetSRQ(const SMsg &msg);
    void AnsGetErrorStatus(const SMsg &msg);
    void EvSRQChanged(const SMsg &msg);
    void EvRangeChanged(const SMsg &msg);
    void ReceiveSRQ(const SMsg &msg);

    SnapshotDifference::Scope scope() const override { return SnapshotDifference::Amplifier; }
    QJsonValue reported(int setting) const override;
    Restore restoreOf(int setting) const override;
    // Moves the setting's control to value as an operator's change would,
    // so that the device sends exactly the lines of that change, follow-up
    // query included. False when the controls offer no way to: a range or
    // time constant that the tables do not hold, a suppression value of 0
    // or an empty bias voltage (which the fields never send), a value of the
    // wrong kind.
    bool put(int setting, const QJsonValue &value) override;
    QVector<Recorded> recordedMessages() const override;
    void askValues() override;
    bool awaitsAnswers() const override;
    bool hasAnswered() const override;

signals:
    void fieldChanged(AmplifierDevice::Field field);

protected:
    void startLink() override;

private:
    // The value queries, counted as they are sent and answered on each link.
    enum Query { StatusQuery, RangeQuery, SuppressionQuery, BiasQuery, QueryCount };

    void show(Field field);
    void takeMessages();
    void send(const QString &command);
    // A command followed by the status query that brings the controls back
    // in line with the device.
    void sendThenStatus(const QString &command);
    void countAnswer(Query query);
    // What a switch's change runs: its partner turned the other way, then
    // its own command.
    void switchChanged(Switch which, bool on);
    static std::optional<Switch> partner(Switch which);
    void switchAction(Switch which, bool on);
    QString decodeStatus(const QString &text);
    void loadTable();
    void applyTable(int rangeIndex);
    bool putSwitch(Switch which, const QJsonValue &value);
    bool putChoice(int count, int current, int index, void (AmplifierDevice::*choose)(int),
                   void (AmplifierDevice::*send)(int));

    std::array<bool, SwitchCount> switches{};
    BackLight light = BackLight::High;
    QStringList rangeTable;
    int rangeChoice = -1;
    QStringList tcTable;
    int tcChoice = -1;
    QStringList tableList;
    int tableChoice = -1;
    CSprTable csprTable;
    QString csprFile;
    QString nameText;
    QString suppressionText;
    QString biasText;
    QString statusBody;
    QString suppressionShown;
    QString biasShown;

    std::array<int, QueryCount> asked{};
    std::array<int, QueryCount> answered{};
    // Whether status holds a status of this link, and the other answers of
    // this link as they came.
    CA5350::Status status;
    bool statusKnown = false;
    std::optional<QString> lastRange;
    std::optional<QString> lastSuppression;
    std::optional<QString> lastBias;

    QTimer *pollTimer = nullptr;
    bool pollErrors = false;
};
