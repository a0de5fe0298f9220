// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/History.h"

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <memory>

// The history on disk: an SQLite database that outlives the program.
//
// Samples and events are handed to it as they arrive and written together,
// in one transaction, at most once a second, and whatever is still waiting
// when it closes. Samples older than the days to keep are deleted when it
// opens and every hour after. The database is the station's to query with
// any SQLite client (the tables are described in docs/history.md): times are
// seconds since the Unix epoch, UTC, and values the texts as received.
//
// One Brenlow writes a file at a time: a lock file next to it turns a second
// one away with a clear reason, and SQLite's own locking with a busy timeout
// lets a script read meanwhile. A write that fails (the disk full, another
// program holding the database too long) keeps the rows for the next
// attempt, up to MaxPending of them, and is reported once through
// writeFailed; the program runs on without its archive.
class Archive : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultKeepDays = 30;
    static constexpr int FlushIntervalMs = 1000;
    static constexpr int RetentionIntervalMs = 60 * 60 * 1000;
    static constexpr int DefaultBusyTimeoutMs = 1000;
    // Rows waiting for the disk beyond this are dropped, the oldest first.
    static constexpr int MaxPending = 100000;

    explicit Archive(QObject *parent = nullptr);
    ~Archive() override;

    // Opens or creates the database at path (relative to the working
    // directory) and makes sure it can be written; false, with
    // errorString() saying why, when it cannot.
    bool open(const QString &path, int keepDays = DefaultKeepDays,
              int busyTimeoutMs = DefaultBusyTimeoutMs);
    bool isOpen() const { return !connection.isEmpty(); }
    QString path() const { return file; }
    QString errorString() const { return error; }

    void addSample(qint64 t, const QString &module, const QString &node, History::Quantity quantity,
                   const QString &value);
    void addEvent(const History::Event &event);

    // Writes what is waiting; false when the database refused it (the rows
    // are kept for the next time).
    bool flush();
    // Deletes the samples and events older than the days to keep, counted
    // back from now (milliseconds since the epoch).
    bool deleteOlderThanKept(qint64 now);
    // Flushes and closes; the lock is given up.
    void close();

    // Puts the samples and events of the last span before now into history,
    // in time order; the newest MaxEvents events at most.
    bool load(History &history, qint64 now, qint64 span = History::KeepMs);

    int pendingCount() const { return int(pending.size()); }

signals:
    // A write has failed after earlier ones worked (or the first one did);
    // reason is the database's message. Once until a write works again.
    void writeFailed(const QString &reason);

private:
    struct Pending
    {
        bool event = false;
        double t = 0;
        QString module;
        QString node;
        QString what;
        QString value;
    };
    bool exec(const QString &statement);
    void fail(const QString &reason);
    void queue(Pending row);

    QString connection;
    QString file;
    QString error;
    int keepDays = DefaultKeepDays;
    std::unique_ptr<QLockFile> lock;
    std::deque<Pending> pending;
    QTimer flushTimer;
    QTimer retentionTimer;
    bool failing = false;
};
