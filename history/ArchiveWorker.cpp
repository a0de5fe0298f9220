// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ArchiveWorker.h"

#include "client/Logging.h"

#include <QAtomicInt>
#include <QDateTime>
#include <cerrno>
#include <cstring>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const char DroppedKind[] = "samples-dropped";
// The worker's niceness: a day to read or a retention pass is never more
// urgent than the window's answer to a click, so the worker yields its core
// when both want one.
constexpr int WorkerNice = 10;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString isoTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

// Each worker's connection has a name of its own.
QString connectionName()
{
    static QAtomicInt serial;
    return QStringLiteral("brenlow-archive-%1").arg(serial.fetchAndAddRelaxed(1) + 1);
}

} // namespace

ArchiveWorker::ArchiveWorker(const ArchiveTarget &where, std::shared_ptr<ArchiveQueue> rows,
                             qint64 start)
    : target(where), queue(std::move(rows)), startedAt(start), flushTimer(new QTimer(this)),
      retryTimer(new QTimer(this)), retentionTimer(new QTimer(this)), stepTimer(new QTimer(this))
{
    flushTimer->setInterval(FlushIntervalMs);
    connect(flushTimer, &QTimer::timeout, this, &ArchiveWorker::flush);
    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, &ArchiveWorker::tryOpen);
    retentionTimer->setInterval(RetentionIntervalMs);
    connect(retentionTimer, &QTimer::timeout, this, &ArchiveWorker::startRetention);
    // A zero timer runs the steps of longer work one at a time, with the
    // writes and anything else the thread is asked for in between.
    stepTimer->setSingleShot(true);
    stepTimer->setInterval(0);
    connect(stepTimer, &QTimer::timeout, this, &ArchiveWorker::runStep);
}

ArchiveWorker::~ArchiveWorker() = default;

void ArchiveWorker::start()
{
    // Linux gives every thread a niceness of its own.
    if (::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), WorkerNice) != 0)
        qCDebug(lcHistory).noquote() << QStringLiteral("history archive: the worker keeps its "
                                                       "priority: %1")
                                            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    database = std::make_unique<ArchiveDatabase>(target, connectionName());
    flushTimer->start();
    // The work of the start waits, if need be, for the database to answer.
    startLoad();
    startRetention();
    tryOpen();
}

void ArchiveWorker::tryOpen()
{
    if (state == State::Refused || state == State::Closed || !database)
        return;
    switch (database->open()) {
    case ArchiveDatabase::Outcome::Ok:
        if (!database->notice().isEmpty())
            qCDebug(lcHistory).noquote() << QStringLiteral("history archive [%1]: %2")
                                                .arg(target.describe(), database->notice());
        retryMs = FirstRetryMs;
        if (state == State::Connecting) {
            state = State::Open;
            emit opened(database->notice());
        }
        // After an outage the archive counts as back once a write worked.
        writeQueued();
        if (!work.empty())
            stepTimer->start();
        return;
    case ArchiveDatabase::Outcome::Refused:
        state = State::Refused;
        flushTimer->stop();
        retentionTimer->stop();
        work.clear();
        queue->clear();
        qCDebug(lcHistory).noquote() << QStringLiteral("history archive [%1] refused: %2")
                                            .arg(target.describe(), database->errorString());
        emit refused(database->errorString());
        return;
    case ArchiveDatabase::Outcome::Unavailable:
        fail(database->errorString());
        return;
    }
}

void ArchiveWorker::fail(const QString &reason)
{
    if (state != State::Down) {
        state = State::Down;
        downSince = now();
        qCDebug(lcHistory).noquote() << QStringLiteral("history archive [%1] unreachable: %2")
                                            .arg(target.describe(), reason);
        emit unreachable(reason, downSince);
    }
    // A server's connection may have gone with the server: it is made
    // anew. A locked SQLite file keeps its connection and is written again
    // at the next beat.
    if (target.kind == ArchiveTarget::Postgres)
        database->close();
    if (!database->isOpen() && !retryTimer->isActive()) {
        retryTimer->start(retryMs);
        retryMs = qMin(retryMs * 2, LongestRetryMs);
    }
    emit attemptFailed(reason);
}

void ArchiveWorker::flush()
{
    if (database && database->isOpen() && (state == State::Open || state == State::Down))
        writeQueued();
}

void ArchiveWorker::writeQueued()
{
    for (;;) {
        const ArchiveQueue::Dropped lost = queue->takeDropped();
        if (lost.count > 0) {
            if (unrecorded.count == 0)
                unrecorded.from = lost.from;
            unrecorded.from = qMin(unrecorded.from, lost.from);
            unrecorded.to = qMax(unrecorded.to, lost.to);
            unrecorded.count += lost.count;
        }
        ArchiveQueue::Batch batch = queue->take(BatchRows);
        if (batch.isEmpty() && unrecorded.count == 0) {
            if (state == State::Down)
                resume();
            return;
        }
        std::vector<ArchiveQueue::Row> extra;
        if (unrecorded.count > 0) {
            // Said where the archive has the gap, at the last sample lost.
            ArchiveQueue::Row row;
            row.t = unrecorded.to;
            row.what = QLatin1String(DroppedKind);
            row.value = History::Text(QStringLiteral("%1 samples from %2 to %3")
                                          .arg(unrecorded.count)
                                          .arg(isoTime(unrecorded.from), isoTime(unrecorded.to)));
            extra.push_back(row);
        }
        if (!database->write(batch, extra)) {
            queue->putBack(std::move(batch));
            fail(database->errorString());
            return;
        }
        queue->done(batch);
        if (!extra.empty()) {
            qCDebug(lcHistory).noquote()
                << QStringLiteral("history archive [%1]: %2")
                       .arg(target.describe(), extra.front().value.toString());
            emit samplesDropped(unrecorded.count, unrecorded.from, unrecorded.to);
            unrecorded = ArchiveQueue::Dropped();
        }
        if (state == State::Down)
            resume();
        emit written(batch.size() + int(extra.size()));
        if (batch.size() < BatchRows)
            return;
    }
}

void ArchiveWorker::resume()
{
    state = State::Open;
    qCDebug(lcHistory).noquote()
        << QStringLiteral("history archive [%1] written again").arg(target.describe());
    emit reachable();
    if (!work.empty())
        stepTimer->start();
}

void ArchiveWorker::queueWork(Step step)
{
    work.push_back(std::move(step));
    if (state == State::Open)
        stepTimer->start();
}

void ArchiveWorker::runStep()
{
    if (work.empty() || state != State::Open)
        return;
    if (work.front()())
        work.pop_front();
    if (!work.empty() && state == State::Open)
        stepTimer->start();
}

ArchiveWorker::Step
ArchiveWorker::readSpan(qint64 from, qint64 to,
                        const std::function<void(std::shared_ptr<History>)> &done)
{
    auto history = std::make_shared<History>();
    auto next = std::make_shared<qint64>(from);
    auto eventsRead = std::make_shared<bool>(false);
    return [this, history, next, eventsRead, from, to, done] {
        // A step that fails leaves the work where it was: it is taken up
        // again once the database answers.
        if (!*eventsRead) {
            if (!database->readEvents(from, to, *history)) {
                fail(database->errorString());
                return false;
            }
            *eventsRead = true;
            return false;
        }
        const qint64 until = qMin(to, *next + ReadSliceMs);
        if (!database->readSamples(*next, until, *history)) {
            fail(database->errorString());
            return false;
        }
        *next = until;
        if (until < to)
            return false;
        done(history);
        return true;
    };
}

void ArchiveWorker::startLoad()
{
    // The day before this run started: what this run writes meanwhile is
    // in memory already, and a row dated after the start is a clock's
    // mistake, which would hold the trends at its time.
    queueWork(readSpan(startedAt - History::KeepMs, startedAt,
                       [this](const std::shared_ptr<History> &history) {
                           qCDebug(lcHistory).noquote()
                               << QStringLiteral("history archive [%1]: the last day read, %2 s "
                                                 "after the start")
                                      .arg(target.describe())
                                      .arg(double(now() - startedAt) / 1000, 0, 'f', 1);
                           QVector<AlarmRecord> alarms;
                           if (!database->readAlarms(alarms))
                               qCDebug(lcHistory).noquote()
                                   << QStringLiteral("history archive [%1]: alarms not read: %2")
                                          .arg(target.describe(), database->errorString());
                           emit startLoaded(history);
                           emit alarmsLoaded(alarms);
                       }));
}

void ArchiveWorker::startRetention()
{
    retentionTimer->start();
    queueWork([this] {
        bool done = false;
        if (!database->retainStep(now(), done)) {
            fail(database->errorString());
            return false;
        }
        if (done) {
            qCDebug(lcHistory).noquote()
                << QStringLiteral("history archive [%1]: retention pass done, %2 s after the start")
                       .arg(target.describe())
                       .arg(double(now() - startedAt) / 1000, 0, 'f', 1);
            emit retained();
        }
        return done;
    });
}

void ArchiveWorker::retainNow()
{
    startRetention();
}

void ArchiveWorker::loadSpan(qint64 from, qint64 to)
{
    wantedFrom = from;
    wantedTo = qMin(to, now() + FutureSlackMs);
    spanWanted = true;
    if (readingSpan)
        return;
    readingSpan = true;
    spanWanted = false;
    const qint64 spanFrom = wantedFrom;
    const qint64 spanTo = wantedTo;
    queueWork(
        readSpan(spanFrom, spanTo, [this, spanFrom, spanTo](const std::shared_ptr<History> &h) {
            emit spanLoaded(spanFrom, spanTo, h);
            readingSpan = false;
            if (spanWanted)
                loadSpan(wantedFrom, wantedTo);
        }));
}

void ArchiveWorker::finish()
{
    stepTimer->stop();
    retentionTimer->stop();
    retryTimer->stop();
    flushTimer->stop();
    work.clear();
    if (database) {
        if (state == State::Down && !database->isOpen())
            tryOpen();
        if (state == State::Open || state == State::Down)
            writeQueued();
        const int left = queue->count();
        if (left > 0 && state != State::Refused)
            qCDebug(lcHistory).noquote()
                << QStringLiteral("history archive [%1]: %2 rows not written at the end")
                       .arg(target.describe())
                       .arg(left);
        database.reset();
    }
    state = State::Closed;
}
