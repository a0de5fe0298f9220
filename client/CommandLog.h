// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

class QDateTime;

// The audit trail of what the program told the devices.
//
// One text file, opened for appending, one line per entry: the local date
// and time with milliseconds and the UTC offset (ISO 8601), a blank, then the
// entry. Every line is flushed at once, so that the record survives a crash
// and can be followed while the program runs. The client writes the command
// lines it sends; the window writes the link events.
class CommandLog
{
public:
    // Opens path for appending, creating it when needed. False when it cannot
    // be opened; the log then takes no entries.
    bool open(const QString &path);
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return file.fileName(); }
    QString errorString() const { return file.errorString(); }

    void write(const QString &entry);

    // The line written for entry at when, without its line feed.
    static QString line(const QDateTime &when, const QString &entry);

private:
    QFile file;
};
