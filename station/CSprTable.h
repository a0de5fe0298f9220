// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>

class QDateTime;
class QIODevice;

// One entry of a current-suppression table: the suppression value to use at
// one amplifier range.
struct CSprEntry
{
    double range = 0.0;
    double value = 0.0;
};

// The current-suppression table of one amplifier, kept apart from any widget.
//
// The table lives in a plain text file that only ever grows: each line holds a
// range and a value (further words only document when the value was taken),
// and a later line for the same range replaces the earlier value. Loading
// merges the lines into one entry per range and orders the entries largest
// range first; the panel shows them through itemText and appends new lines
// built by entryLine.
class CSprTable
{
public:
    void clear() { entries.clear(); }
    int size() const { return entries.size(); }
    bool isEmpty() const { return entries.isEmpty(); }
    const CSprEntry &at(int i) const { return entries.at(i); }
    bool isIndex(int i) const { return i >= 0 && i < entries.size(); }

    // Merges one line of the file format; blank and "#" lines are skipped.
    void mergeLine(const QString &line);
    // Orders the entries by range, largest first.
    void sortByRange();
    // Empties the table, then reads, merges and sorts the file. False when the
    // file cannot be opened; the table is then empty.
    bool load(const QString &fileName);
    // Whether load() would find a table in fileName, without reading it: a
    // plain file that opens. The configuration check asks this of every
    // amplifier's table; the panel reads the table itself.
    static bool canLoad(const QString &fileName);
    // Empties the table, then reads, merges and sorts what device holds.
    // Lines end at a line feed, a carriage return or both. A line that is
    // not text (a NUL byte, bytes the encoding cannot take back) is skipped
    // and reported in the debug log with its number and name; the lines
    // around it are read as usual.
    void read(QIODevice &device, const QString &name = QString());
    // The first entry whose range equals range exactly, or -1.
    int indexOfRange(double range) const;

    // "1e-06 : 2.5e-10": the range in exponent form, the value in general form.
    static QString itemText(const CSprEntry &entry);
    // A value in general form with six significant digits.
    static QString valueText(double value);
    // The line the panel appends: range, value, " : " and the time stamp.
    static QString entryLine(const QString &rangeText, const QString &valueText,
                             const QDateTime &when);
    enum class AppendResult { Appended, CannotOpen, CannotWrite };
    // Appends text to the file, creating it when needed. When the file's last
    // line lacks its line feed, one is written first so that the new line does
    // not run into it; in a file whose lines end in carriage return and line
    // feed the new line ends so too. The file is only ever added to: a write
    // that fails part way is cut back off, so no half line is left for the
    // next load to misread. reason, when given, receives the system's words
    // for a failure.
    static AppendResult append(const QString &fileName, const QString &text,
                               QString *reason = nullptr);
    // The same on a device already open for reading and writing (a file, or
    // a buffer in memory); the text goes after its last byte.
    static AppendResult append(QIODevice &device, const QString &text, QString *reason = nullptr);

private:
    QVector<CSprEntry> entries;
};
