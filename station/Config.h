// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QVariant;

// The reading rules of the station's INI configuration, in one place.
//
// The main window reads every key through these functions while it builds
// itself: lists, numbers inside lists, placements, colours, flags, the
// tolerance and the table lookup, each with the default that an absent or
// unreadable value takes. Nothing here writes the file or reports a missing
// key.
namespace Config {

// Defaults of the top-level keys.
extern const char DefaultServerAddress[]; // the station's own server, a private address
extern const char DefaultServerPort[];
extern const char DefaultClientName[];
extern const char DefaultKeyFile[];
extern const char DefaultConfigFile[];

// The reading rules of a value, looked up in the file's keys (IniKeys);
// value is null when the file does not hold the key.
//
// A single text value; a value that the settings class split at its commas is
// joined again, so that an unquoted comma does not empty the text.
QString readText(const QVariant *value, const QString &defaultValue = QString());

// A list value: items split at commas with surrounding blanks dropped. An
// absent key, and an empty value, give the empty list.
QStringList readList(const QVariant *value);

// A flag: "false", "0" (any letter case) and the empty text are false, every
// other text is true; an absent key gives defaultValue.
bool readFlag(const QVariant *value, bool defaultValue);

// A cell of a grid layout with its spans.
struct Placement
{
    int col = 0;
    int row = 0;
    int colSpan = 1;
    int rowSpan = 1;
};

// "Position in Window" of an HV or amplifier module, the module being number
// index of its list.
Placement modulePlacement(const QStringList &numbers, int index);
// "Position in Window" of an ion chamber group (always one cell).
Placement chamberPlacement(const QStringList &numbers, int index);
// "Position of Name" of a chamber's name label.
Placement namePlacement(const QStringList &numbers);

// The style sheet for a "Color" list, or the empty text when it holds fewer
// than three numbers.
QString colourStyleSheet(const QStringList &numbers);

// The tolerance in volts: the absolute value of the text as a number.
double tolerance(const QString &text);

// The "Reconnect Interval" in milliseconds from its text in seconds
// (fractions allowed). 0, the default, turns automatic reconnecting off;
// so do negative values and texts that are not numbers. Values above an
// hour are taken as an hour.
int reconnectIntervalMs(const QString &text);

// A timeout key ("Dead Link Timeout", "Answer Timeout") in milliseconds
// from its text in seconds (fractions allowed). 0 turns the watch off; an
// absent key, a negative value and a text that is not a number keep
// defaultMs, so that a slip of the pen never turns a safety watch off.
// Values above an hour are taken as an hour.
int timeoutMs(const QString &text, int defaultMs);

// The "History Days" to keep: a whole number of days from 1 up; an absent,
// empty or unreadable value, or one below 1, gives DefaultHistoryDays.
extern const int DefaultHistoryDays;
int historyDays(const QString &text);

// "History Queue": how many samples wait for an archive that cannot be
// written, before the oldest are let go; a whole number from 1 up, and
// DefaultHistoryQueue for anything else.
extern const int DefaultHistoryQueue;
int historyQueue(const QString &text);

// "HV Tolerance": volts, or a percentage of the set voltage when the number
// ends in "%" ("2.5%"). False, leaving the values alone, when the text is
// neither a number of 0 or more nor such a percentage.
bool hvTolerance(const QString &text, double &value, bool &percent);

// "Alarm Delay" in milliseconds from its text in seconds (fractions
// allowed); values above an hour are taken as an hour. False, leaving ms
// alone, for a negative value or a text that is not a number.
bool alarmDelayMs(const QString &text, qint64 &ms);

// A flag that must say what it means: "true" or "1", "false" or "0" (any
// letter case). False, leaving value alone, for anything else.
bool strictFlag(const QString &text, bool &value);

// The index of the first name that equals name exactly, or -1.
int findTable(const QStringList &names, const QString &name);

} // namespace Config
