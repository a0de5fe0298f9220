// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QObject>
#include <QString>

class QDateTime;

// The audit trail of what the program told the devices.
//
// One text file, opened for appending, one line per entry: the local date
// and time with milliseconds and the UTC offset (ISO 8601), a blank, then the
// entry. Every line goes to the file at once and is synced to the disk
// before write returns, so that neither a crash nor a power cut loses a
// command that left, and the file can be followed while the program runs.
// The client writes the command lines it sends; the window writes the link
// events.
//
// A record that silently stops is worse than none, so a line that cannot be
// written or synced (a full disk, a failing device, the file's directory
// gone) is reported: the first failure of an episode is named in the debug
// log and by writeFailed, and the first line written after it ends the
// episode with writeRecovered. A log file removed while the program runs
// is made anew at the same path, so that the record stays where it is
// looked for.
class CommandLog : public QObject
{
    Q_OBJECT

public:
    // Opens path for appending, creating it when needed. False when it cannot
    // be opened; the log then takes no entries.
    bool open(const QString &path);
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return file.fileName(); }
    QString errorString() const { return file.errorString(); }

    // Appends entry as one line, synced to the disk. False when the line is
    // not all on the disk (or no file is open).
    bool write(const QString &entry);
    // Whether the last line could not be written.
    bool isFailing() const { return failing; }

    // The line written for entry at when, without its line feed.
    static QString line(const QDateTime &when, const QString &entry);

signals:
    // The first failure to write or sync a line since the log last worked.
    void writeFailed(const QString &reason);
    // The first line written in full after a failure.
    void writeRecovered();

private:
    bool openFile();
    // Makes the file anew when it was removed since it was opened (or a
    // failed attempt left it closed).
    bool ensureFile(QString &reason);
    bool fail(const QString &reason);

    QFile file;
    // open() succeeded: from then on the log keeps trying to write.
    bool opened = false;
    bool failing = false;
    // A line was written only in part: the next one starts on a line of its
    // own.
    bool partLine = false;
};
