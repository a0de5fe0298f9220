// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmConditions.h"
#include "alarms/HvDeviationRule.h"
#include "client/AnswerWatch.h"
#include "client/LinkDeadlines.h"
#include "station/Config.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The keys that HV and amplifier modules share: addressing, placement inside
// the chamber's group and colour.
struct StationModule
{
    QString name;
    QString id;
    QString driver;
    QString ch;
    Config::Placement place;
    // The panel's style sheet; empty when the panel keeps its own look.
    QString styleSheet;
    // "Alarms": the conditions watched; every one of the module's kind
    // unless the section says otherwise.
    AlarmConditions::Set alarms;
};

struct StationHv : StationModule
{
    QStringList voltages;
    QString select;
    bool voltageEditable = true;
    double tolerance = 0.0;
};

struct StationAmp : StationModule
{
    QString tcTableName;
    QString rangeTableName;
    // The entries of the named tables; empty when no table list holds the name.
    QStringList tcTable;
    QStringList rangeTable;
    bool tcTableFound = false;
    bool rangeTableFound = false;
    QString csprFile;
    bool pollErrors = false;
};

struct StationChamber
{
    QString name;
    QString hvId;
    QString ampId;
    Config::Placement namePlace;
    Config::Placement place;
    // Index of the first module with that id in its list, or -1.
    int hvIndex = -1;
    int ampIndex = -1;
};

// One thing wrong with a station file, as reading or checking it finds it.
struct StationProblem
{
    enum Kind {
        MissingFile,
        UnreadableFile,
        UnknownKey,
        MissingHv,
        MissingAmp,
        MissingTable,
        UnreadableSuppressionTable,
        MissingKeyFile,
        BadPort,
        // A module's id, driver or ch, or the client's name, that holds
        // white space or a control character: put into a line, it would
        // shift the words that the server reads (a channel "1 SetV" makes
        // every line of the panel a SetV). Such a module is not built; under
        // such a name no connection is made.
        SpacedModuleName,
        SpacedClientName,
        BadAlarmSetting,
        UnknownAlarmCondition,
    };
    Kind kind = MissingFile;
    // The section (module, table or chamber name; empty at the top level), the
    // key and the value concerned, as far as the kind has them.
    QString section;
    QString key;
    QString value;

    // One English line naming the problem, for the debug log and the check.
    QString text() const;
};

// A station as its INI file describes it.
//
// This is the one reader of the configuration file: the main window builds
// itself from it, the simulator takes its devices from it and the
// configuration check reports what it found. Reading follows the rules in
// Config, key by key, with every default; it never fails. What it cannot
// use is recorded in problems: a missing or unreadable file, keys that no
// reading asked for, chambers naming a module id that no module has,
// amplifiers naming a table that no table list holds, and names that cannot
// stand as one word of a line. A module with such a name is left out of its
// list, so that the window, the simulator and the check all go without it.
struct Station
{
    enum FileState { FileReadable, FileMissing, FileUnreadable };

    QString path;
    FileState fileState = FileReadable;

    QString serverAddress;
    QString serverPort;
    QString clientName;
    QString keyFile;
    // A monitoring station that must not change anything.
    bool readOnly = false;
    // The audit trail's file; empty for none.
    QString commandLog;
    // "Reconnect Interval": the first wait before an automatic reconnect, in
    // milliseconds; 0 when the link is not reconnected by itself.
    int reconnectIntervalMs = 0;
    // "Dead Link Timeout": how long a silent link, a connection attempt and
    // a handshake may take before the client gives up on them; 0 keeps the
    // system's socket timings.
    int deadLinkTimeoutMs = LinkDeadlines::DefaultMs;
    // "Answer Timeout": how long a device node may leave a request
    // unanswered before it is named as silent; 0 never names one.
    int answerTimeoutMs = AnswerWatch::DefaultMs;
    // "History File": the archive of the station's history; empty for none.
    QString historyFile;
    // "History Database": a PostgreSQL archive shared by the facility's
    // stations, as postgresql://USER@HOST:PORT/DBNAME; empty for none.
    QString historyDatabase;
    // "History Days": how many days of samples the archive keeps.
    int historyDays = Config::DefaultHistoryDays;
    // "History Queue": samples held while the archive cannot be written.
    int historyQueue = Config::DefaultHistoryQueue;
    // "Station Name": the station's name in a shared archive; the station
    // file's name without its suffix when the key is absent.
    QString stationName;
    // "HV Tolerance" and "Alarm Delay": when an HV module is off its set
    // voltage for an alarm (each module adds its own "Voltage Tolerance").
    HvDeviationRule::Settings deviation;
    // "Alarm Sound": beep while an alarm is unacknowledged.
    bool alarmSound = false;

    QStringList tcTableNames;
    QList<QStringList> tcTables;
    QStringList rangeTableNames;
    QList<QStringList> rangeTables;

    QVector<StationHv> hvModules;
    QVector<StationAmp> ampModules;
    QVector<StationChamber> chambers;

    QVector<StationProblem> problems;

    static Station read(const QString &path);

    // The problems of reading, then those that only a look at the files and
    // values the station names can show: a key file that neither place
    // holds, a suppression table that cannot be read, a port that is not a
    // port number. The files are looked up as the program would, from the
    // current working directory.
    QVector<StationProblem> check() const;

    // The number of problems of kind.
    int count(StationProblem::Kind kind) const;
};
