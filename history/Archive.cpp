// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/Archive.h"

#include "history/ArchiveQueue.h"
#include "history/ArchiveWorker.h"

#include <QMetaObject>
#include <array>

namespace {

// The names of the quantities, made once: a sample's name is shared, not
// made anew for each.
const QString &quantityText(History::Quantity quantity)
{
    static const std::array<QString, 4> names{History::quantityName(History::Quantity::Voltage),
                                              History::quantityName(History::Quantity::Status),
                                              History::quantityName(History::Quantity::Range),
                                              History::quantityName(History::Quantity::Overload)};
    return names.at(size_t(quantity));
}

void registerTypes()
{
    static const bool done = [] {
        qRegisterMetaType<std::shared_ptr<History>>("std::shared_ptr<History>");
        qRegisterMetaType<QVector<AlarmRecord>>("QVector<AlarmRecord>");
        return true;
    }();
    Q_UNUSED(done)
}

} // namespace

Archive::Archive(QObject *parent) : QObject(parent)
{
    registerTypes();
    thread.setObjectName(QStringLiteral("history archive"));
}

Archive::~Archive()
{
    close();
}

bool Archive::isActive() const
{
    return current == State::Opening || current == State::Open || current == State::Unreachable;
}

void Archive::open(const ArchiveTarget &target, qint64 startedAt)
{
    close();
    where = target;
    error.clear();
    if (target.kind == ArchiveTarget::NoArchive)
        return;
    queue = std::make_shared<ArchiveQueue>(target.queueSamples);
    worker = new ArchiveWorker(target, queue, startedAt);
    worker->moveToThread(&thread);
    current = State::Opening;

    connect(worker, &ArchiveWorker::opened, this, [this] {
        if (current == State::Opening)
            current = State::Open;
        emit opened();
    });
    connect(worker, &ArchiveWorker::refused, this, [this](const QString &reason) {
        current = State::Refused;
        error = reason;
        emit refused(reason);
    });
    connect(worker, &ArchiveWorker::unreachable, this, [this](const QString &reason, qint64 since) {
        current = State::Unreachable;
        error = reason;
        downSince = since;
        emit unreachable(reason, since);
    });
    connect(worker, &ArchiveWorker::reachable, this, [this] {
        current = State::Open;
        downSince = 0;
        emit reachable();
    });
    connect(worker, &ArchiveWorker::attemptFailed, this, &Archive::attemptFailed);
    connect(worker, &ArchiveWorker::written, this, &Archive::written);
    connect(worker, &ArchiveWorker::samplesDropped, this, &Archive::samplesDropped);
    connect(worker, &ArchiveWorker::startLoaded, this, &Archive::startLoaded);
    connect(worker, &ArchiveWorker::alarmsLoaded, this, &Archive::alarmsLoaded);
    connect(worker, &ArchiveWorker::spanLoaded, this, &Archive::spanLoaded);
    connect(worker, &ArchiveWorker::retained, this, &Archive::retained);
    thread.start();
    ask(&ArchiveWorker::start);
}

template <typename F> void Archive::ask(F method)
{
    if (worker)
        QMetaObject::invokeMethod(worker, method, Qt::QueuedConnection);
}

void Archive::close()
{
    if (!worker)
        return;
    // The last rows are written before the window goes; a database that
    // does not answer holds this up for its timeouts at most.
    QMetaObject::invokeMethod(worker, &ArchiveWorker::finish, Qt::BlockingQueuedConnection);
    disconnect(worker, nullptr, this, nullptr);
    thread.quit();
    thread.wait();
    // Its thread has ended and its timers are stopped.
    delete worker;
    worker = nullptr;
    queue.reset();
    if (current != State::Refused)
        current = State::Closed;
}

void Archive::addSample(qint64 t, const QString &module, const QString &node,
                        History::Quantity quantity, const QString &value)
{
    if (isActive())
        queue->addSample(t, module, node, quantityText(quantity), value);
}

void Archive::addEvent(const History::Event &event)
{
    if (isActive())
        queue->addEvent(event.t, event.module, event.node, History::kindName(event.kind),
                        event.text);
}

void Archive::storeAlarm(const AlarmRecord &alarm)
{
    if (isActive())
        queue->changeAlarm(alarm, false);
}

void Archive::removeAlarm(const QString &module, const QString &condition)
{
    if (!isActive())
        return;
    AlarmRecord alarm;
    alarm.module = module;
    alarm.condition = condition;
    queue->changeAlarm(alarm, true);
}

void Archive::flush()
{
    ask(&ArchiveWorker::flush);
}

void Archive::retainNow()
{
    ask(&ArchiveWorker::retainNow);
}

void Archive::loadSpan(qint64 from, qint64 to)
{
    if (worker)
        QMetaObject::invokeMethod(
            worker, [w = worker, from, to] { w->loadSpan(from, to); }, Qt::QueuedConnection);
}

int Archive::pendingCount() const
{
    return queue ? queue->count() : 0;
}

int Archive::pendingSamples() const
{
    return queue ? queue->sampleCount() : 0;
}
