// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

// The amplifier settings a snapshot holds, in the order of the setting table
// (Snapshot::settings): the order in which they are compared, listed and put
// back.
enum class AmpSetting {
    Range,
    ZeroCheck,
    Suppression,
    SuppressionValue,
    Filter,
    TimeConstant,
    FilterMode,
    Bias,
    BiasVoltage,
    Input,
    BackLight,
};

// The HV settings a snapshot holds, in table order.
enum class HvSetting { SetV, RampRate, Status, Voltage, MaxV, VLimit };

// One entry of a setting table: the key in the file, what kind of value it
// holds and whether a difference in it counts.
struct SnapshotSetting
{
    enum Kind {
        // true or false.
        Flag,
        // A decimal number as the device or the panel wrote it; two texts
        // that read as the same number are the same setting ("1e-6" and
        // "1e-06").
        Number,
        // One of the words in choices.
        Choice,
        // Any text, compared as it stands.
        Text,
    };
    const char *key;
    // What the comparison table calls it (translation context SnapshotTable).
    const char *label;
    Kind kind;
    // Values kept for information only (the HV module's voltage and limits)
    // never count as a difference.
    bool compared;
    QStringList choices;
};

// One module of a snapshot: its section name in the station file, its device
// node and one value per setting of its table, in table order. A value is a
// JSON value: a boolean for a flag, a text otherwise, null for a value the
// device has not reported.
struct SnapshotModule
{
    QString section;
    QString node;
    QVector<QJsonValue> values;

    QJsonValue value(AmpSetting setting) const { return values.value(int(setting)); }
    QJsonValue value(HvSetting setting) const { return values.value(int(setting)); }
};

// One difference between a saved snapshot and the live station.
struct SnapshotDifference
{
    enum Scope { Amplifier, Hv };
    Scope scope = Amplifier;
    QString section;
    // The setting's key; "node" for a module whose node differs, "module"
    // for a module that only one side has.
    QString key;
    // The index in the scope's setting table, or -1 for "node" and "module".
    int setting = -1;
    QJsonValue saved;
    QJsonValue live;

    // The line that the command line prints: section, key, saved and live
    // value, separated by tabs.
    QString line() const;
};

// A value of a snapshot file that is not used: it reads as null, so that it
// is neither compared nor put back, and it is named with the reason.
struct SnapshotRefusal
{
    SnapshotDifference::Scope scope = SnapshotDifference::Amplifier;
    QString section;
    QString key;
    QString why;

    // Section, key and reason, separated by tabs.
    QString line() const;
};

// The settings of a station at one moment, as a UTF-8 JSON file.
//
// A snapshot is what the devices answered to the panels' value queries
// (and the HV panels' own set voltage), module by module, keyed by the
// modules' section names in the station file. It is written atomically, so
// that a script or a second Brenlow never reads half a file, and read
// leniently: unknown keys are ignored, a missing setting is null. A file of
// another format, or no JSON at all, is refused with a message saying why.
// Every value is checked before anything uses it, since a file may come from
// anywhere and its texts go onto the wire: a value holding a control
// character, or a setting sent as a number whose text is not one, is refused
// on its own (see refused) and the rest of the file is read.
// Two snapshots compare into a list of differences; the window and the
// command line build on that.
class Snapshot
{
public:
    static constexpr const char *Format = "brenlow-snapshot/1";

    // The setting tables; a module's values follow them index by index.
    static const QVector<SnapshotSetting> &ampSettings();
    static const QVector<SnapshotSetting> &hvSettings();
    static const QVector<SnapshotSetting> &settings(SnapshotDifference::Scope scope);

    // A flag's and a choice's value in the file's terms.
    static QJsonValue flag(bool on) { return QJsonValue(on); }
    static QJsonValue text(const QString &value) { return QJsonValue(value); }

    // Whether two values of a setting are the same: null equals only null,
    // numbers compare by value.
    static bool sameValue(const SnapshotSetting &setting, const QJsonValue &a, const QJsonValue &b);
    // A value as the command line and the table show it: the text itself,
    // true or false, null.
    static QString valueText(const QJsonValue &value);
    // Text as a message may carry it: every control character written as
    // \u and its code, so that a name from a file cannot break or forge a
    // line of output.
    static QString printable(const QString &text);
    // Why a value cannot be used for setting, or the empty text when it can.
    static QString unusable(const SnapshotSetting &setting, const QJsonValue &value);

    // The local time with its UTC offset, as "taken" holds it.
    QString taken;
    // The station file's path and the server as host:port.
    QString station;
    QString server;
    QVector<SnapshotModule> amplifiers;
    QVector<SnapshotModule> hv;
    // The values of the file that were refused, in the file's order; never
    // written.
    QVector<SnapshotRefusal> refused;

    // How many values are null.
    int nullCount() const;

    QByteArray toJson() const;
    // Reads a snapshot from JSON text; false with a reason when the text is
    // not JSON, not of this format, or holds a value of the wrong kind.
    static bool fromJson(const QByteArray &json, Snapshot &out, QString &error);

    // Writes the file through a temporary file that is renamed into place:
    // the path holds the old file or the whole new one, never a part.
    bool save(const QString &path, QString &error) const;
    // Reads a regular file of at most MaxFileBytes; anything else (a pipe,
    // a device, a directory) is refused before it is opened, since reading
    // one could wait or go on for ever.
    static bool load(const QString &path, Snapshot &out, QString &error);
    static constexpr qint64 MaxFileBytes = qint64(16) * 1024 * 1024;

    // What differs in live from saved: modules in live's order, then the
    // modules of saved that live no longer has; settings in table order. A value null in saved
    // is not compared (nothing is known to hold it against), nor are the
    // values kept for information.
    static QVector<SnapshotDifference> compare(const Snapshot &saved, const Snapshot &live);
    // The modules of saved that a restore onto live must leave alone, with
    // the reason: a module live does not have, and one whose node in saved is
    // not its node in live (or is not named at all). A snapshot's settings
    // belong to the device it was taken of, never to whatever device now
    // carries the same section name. In compare's order of scopes, each in
    // saved's order.
    static QVector<SnapshotRefusal> elsewhere(const Snapshot &saved, const Snapshot &live);
};
