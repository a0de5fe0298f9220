// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The lock that keeps a second Brenlow off an SQLite history file: a file
// beside it ("path.lock") that holds the owner's process id and host, and an
// advisory lock on that file that the system lets go of when the owner's
// process ends, however it ends.
//
// A lock file left by a crash is therefore never taken for a live owner,
// even when its process id has since been given to another process: what
// counts is the system's lock, not whether some process of that number
// runs. The id and host in the file only name the owner in the refusal.
class HistoryLock
{
public:
    HistoryLock() = default;
    ~HistoryLock();
    HistoryLock(const HistoryLock &) = delete;
    HistoryLock &operator=(const HistoryLock &) = delete;

    // False, with errorString() saying why, when another process holds it
    // or the lock file cannot be made.
    bool lock(const QString &path);
    void unlock();
    bool isLocked() const { return fd >= 0; }
    QString errorString() const { return error; }

private:
    int fd = -1;
    QString error;
};
