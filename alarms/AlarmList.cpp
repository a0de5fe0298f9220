// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/AlarmList.h"

#include "alarms/AlarmClock.h"
#include "client/Logging.h"
#include "station/Station.h"

#include <QDateTime>
#include <QSysInfo>
#include <algorithm>
#include <limits>
#include <pwd.h>
#include <unistd.h>

using AlarmConditions::Condition;

namespace {

struct TransitionName
{
    AlarmList::Transition transition;
    const char *name;
};

constexpr TransitionName TransitionNames[] = {
    {AlarmList::Transition::Raised, "raised"},
    {AlarmList::Transition::Cleared, "cleared"},
    {AlarmList::Transition::Acknowledged, "acknowledged"},
    {AlarmList::Transition::Shelved, "shelved"},
    {AlarmList::Transition::Unshelved, "unshelved"},
};

} // namespace

AlarmList::AlarmList(const AlarmClock *alarmClock, QObject *parent)
    : QObject(parent), clock(alarmClock ? alarmClock : &AlarmClock::system()),
      operatorText(localOperator())
{
    // Shelves last hours: the timer must not drift by minutes.
    shelfTimer.setTimerType(Qt::PreciseTimer);
    shelfTimer.setSingleShot(true);
    connect(&shelfTimer, &QTimer::timeout, this, &AlarmList::expireShelves);
}

void AlarmList::setClock(const AlarmClock *alarmClock)
{
    clock = alarmClock ? alarmClock : &AlarmClock::system();
    armShelfTimer();
}

qint64 AlarmList::now() const
{
    return clock->nowMs();
}

QString AlarmList::localOperator()
{
    // The login name of the user the process runs as, not whatever the
    // environment claims: the record says who could act here.
    QString user;
    if (const passwd *entry = getpwuid(geteuid()))
        user = QString::fromLocal8Bit(entry->pw_name);
    if (user.isEmpty())
        user = qEnvironmentVariable("USER");
    return user + QLatin1Char('@') + QSysInfo::machineHostName();
}

QString AlarmList::keyOf(const QString &module, Condition condition)
{
    return AlarmConditions::name(condition) + QLatin1Char('/') + module;
}

void AlarmList::watch(const QString &module, AlarmConditions::Set conditions)
{
    watched.insert(module, conditions);
}

void AlarmList::watchStation(const Station &station)
{
    // A section that both lists name is one module for the alarms.
    for (const StationHv &module : station.hvModules)
        watched[module.name] |= module.alarms;
    for (const StationAmp &module : station.ampModules)
        watched[module.name] |= module.alarms;
    // A station without modules has nothing to lose with its link, and its
    // window stays as bare as its file.
    if (!station.hvModules.isEmpty() || !station.ampModules.isEmpty())
        watch(QString(), AlarmConditions::Set::of(Condition::LinkLost));
}

bool AlarmList::isWatched(const QString &module, Condition condition) const
{
    return watched.value(module).contains(condition);
}

int AlarmList::indexOf(const QString &module, Condition condition) const
{
    const QString name = AlarmConditions::name(condition);
    for (int i = 0; i < listed.size(); ++i) {
        if (listed.at(i).module == module && listed.at(i).condition == name)
            return i;
    }
    return -1;
}

const AlarmRecord *AlarmList::find(const QString &module, Condition condition) const
{
    const int i = indexOf(module, condition);
    return i < 0 ? nullptr : &listed.at(i);
}

void AlarmList::report(const QString &module, Condition condition, bool holds, const QString &value)
{
    if (!isWatched(module, condition))
        return;
    reported.insert(keyOf(module, condition), holds);
    const int i = indexOf(module, condition);
    if (holds) {
        if (i >= 0 && listed.at(i).clearedMs == 0)
            return;
        if (i >= 0) {
            // Back before anyone acknowledged it: the same alarm, raised anew.
            AlarmRecord &again = listed[i];
            again.raisedMs = now();
            again.clearedMs = 0;
            again.value = value;
            emitTransition(Transition::Raised, i);
            return;
        }
        AlarmRecord record;
        record.module = module;
        record.condition = AlarmConditions::name(condition);
        record.severity = AlarmConditions::severityName(AlarmConditions::severity(condition));
        record.value = value;
        record.raisedMs = now();
        listed.append(record);
        emitTransition(Transition::Raised, listed.size() - 1);
        return;
    }
    if (i < 0 || listed.at(i).clearedMs != 0)
        return;
    listed[i].clearedMs = now();
    emitTransition(Transition::Cleared, i);
}

bool AlarmList::acknowledge(const QString &module, Condition condition)
{
    const int i = indexOf(module, condition);
    if (readOnly) {
        qCDebug(lcAlarm) << "read-only: alarm not acknowledged";
        return false;
    }
    if (i < 0 || !listed.at(i).ackedBy.isEmpty())
        return false;
    listed[i].ackedBy = operatorText;
    listed[i].ackedMs = now();
    emitTransition(Transition::Acknowledged, i);
    return true;
}

int AlarmList::acknowledgeAll()
{
    if (readOnly) {
        qCDebug(lcAlarm) << "read-only: alarms not acknowledged";
        return 0;
    }
    // Each acknowledgement may take its alarm off the list: go by keys.
    QVector<QPair<QString, Condition>> keys;
    for (const AlarmRecord &record : qAsConst(listed)) {
        Condition condition = Condition::HvFault;
        if (record.ackedBy.isEmpty() && AlarmConditions::fromName(record.condition, condition))
            keys.append({record.module, condition});
    }
    int count = 0;
    for (const auto &key : qAsConst(keys))
        count += acknowledge(key.first, key.second) ? 1 : 0;
    return count;
}

bool AlarmList::shelve(const QString &module, Condition condition, qint64 forMs)
{
    const int i = indexOf(module, condition);
    if (readOnly) {
        qCDebug(lcAlarm) << "read-only: alarm not shelved";
        return false;
    }
    if (i < 0 || forMs <= 0)
        return false;
    listed[i].shelvedUntilMs = now() + forMs;
    emitTransition(Transition::Shelved, i);
    armShelfTimer();
    return true;
}

bool AlarmList::unshelve(const QString &module, Condition condition)
{
    const int i = indexOf(module, condition);
    if (readOnly) {
        qCDebug(lcAlarm) << "read-only: alarm not unshelved";
        return false;
    }
    if (i < 0 || listed.at(i).shelvedUntilMs == 0)
        return false;
    listed[i].shelvedUntilMs = 0;
    emitTransition(Transition::Unshelved, i);
    armShelfTimer();
    return true;
}

void AlarmList::restore(const QVector<AlarmRecord> &records)
{
    QVector<QPair<QString, Condition>> clearedNow;
    for (AlarmRecord record : records) {
        Condition condition = Condition::HvFault;
        if (isFinished(record) || !AlarmConditions::fromName(record.condition, condition))
            continue;
        const int i = indexOf(record.module, condition);
        if (i >= 0) {
            // Raised again before the archive had been read: the same
            // alarm, with what the operator did about it before the restart
            // as long as it still holds.
            AlarmRecord &live = listed[i];
            live.raisedMs = std::min(live.raisedMs, record.raisedMs);
            if (live.ackedBy.isEmpty() && live.clearedMs == 0) {
                live.ackedBy = record.ackedBy;
                live.ackedMs = record.ackedMs;
            }
            live.shelvedUntilMs = std::max(live.shelvedUntilMs, record.shelvedUntilMs);
            continue;
        }
        // What the device has said since the start decides; a condition no
        // longer watched cannot hold.
        const auto known = reported.constFind(keyOf(record.module, condition));
        const bool holds = isWatched(record.module, condition) &&
                           (known == reported.constEnd() ? record.clearedMs == 0 : known.value());
        if (!holds && record.clearedMs == 0) {
            record.clearedMs = now();
            clearedNow.append({record.module, condition});
        }
        if (holds)
            record.clearedMs = 0;
        if (!isFinished(record))
            listed.append(record);
    }
    std::stable_sort(listed.begin(), listed.end(), [](const AlarmRecord &a, const AlarmRecord &b) {
        return a.raisedMs < b.raisedMs;
    });
    for (const auto &key : qAsConst(clearedNow)) {
        const int i = indexOf(key.first, key.second);
        if (i >= 0)
            emitTransition(Transition::Cleared, i);
    }
    expireShelves();
    emit listChanged();
}

void AlarmList::expireShelves()
{
    const qint64 at = now();
    for (int i = listed.size() - 1; i >= 0; --i) {
        if (listed.at(i).shelvedUntilMs != 0 && listed.at(i).shelvedUntilMs <= at) {
            listed[i].shelvedUntilMs = 0;
            emitTransition(Transition::Unshelved, i);
        }
    }
    armShelfTimer();
}

void AlarmList::armShelfTimer()
{
    qint64 next = 0;
    for (const AlarmRecord &record : qAsConst(listed)) {
        if (record.shelvedUntilMs != 0 && (next == 0 || record.shelvedUntilMs < next))
            next = record.shelvedUntilMs;
    }
    if (next == 0) {
        shelfTimer.stop();
        return;
    }
    const qint64 wait = std::max<qint64>(0, next - now());
    shelfTimer.start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
}

void AlarmList::emitTransition(Transition transition, int index)
{
    const AlarmRecord record = listed.at(index);
    if (isFinished(record))
        listed.remove(index);
    qCDebug(lcAlarm).noquote() << logLine(transition, record);
    emit transitioned(transition, record);
    emit listChanged();
}

bool AlarmList::isShelved(const AlarmRecord &record) const
{
    return record.shelvedUntilMs != 0 && record.shelvedUntilMs > now();
}

bool AlarmList::isAnnunciated(const AlarmRecord &record) const
{
    return record.ackedBy.isEmpty() && !isShelved(record);
}

int AlarmList::annunciatedCount() const
{
    return int(std::count_if(listed.cbegin(), listed.cend(),
                             [this](const AlarmRecord &r) { return isAnnunciated(r); }));
}

template <typename Take>
bool AlarmList::highestSeverity(Take take, AlarmConditions::Severity &severity) const
{
    bool any = false;
    for (const AlarmRecord &record : listed) {
        AlarmConditions::Severity s = AlarmConditions::Severity::Minor;
        if (!take(record) || !isAnnunciated(record) ||
            !AlarmConditions::severityFromName(record.severity, s))
            continue;
        if (!any || s > severity)
            severity = s;
        any = true;
    }
    return any;
}

bool AlarmList::annunciatedSeverity(AlarmConditions::Severity &severity) const
{
    return highestSeverity([](const AlarmRecord &) { return true; }, severity);
}

bool AlarmList::annunciatedSeverityOf(const QString &module,
                                      AlarmConditions::Severity &severity) const
{
    return highestSeverity([&module](const AlarmRecord &record) { return record.module == module; },
                           severity);
}

bool AlarmList::isFinished(const AlarmRecord &record)
{
    return record.clearedMs != 0 && !record.ackedBy.isEmpty();
}

QString AlarmList::transitionName(Transition transition)
{
    for (const TransitionName &t : TransitionNames) {
        if (t.transition == transition)
            return QLatin1String(t.name);
    }
    return QString();
}

QString AlarmList::logLine(Transition transition, const AlarmRecord &record)
{
    // "alarm raised HV I1 hv-fault (major): TRIP"; the station's own alarm
    // has no section.
    QString line = QStringLiteral("alarm ") + transitionName(transition) + QLatin1Char(' ');
    if (!record.module.isEmpty())
        line += record.module + QLatin1Char(' ');
    line += record.condition;
    switch (transition) {
    case Transition::Raised:
        line += QStringLiteral(" (%1)").arg(record.severity);
        if (!record.value.isEmpty())
            line += QStringLiteral(": ") + record.value;
        break;
    case Transition::Acknowledged:
        line += QStringLiteral(" by ") + record.ackedBy;
        break;
    case Transition::Shelved: {
        // Local time with its offset, as the command log stamps its lines.
        const QDateTime until = QDateTime::fromMSecsSinceEpoch(record.shelvedUntilMs);
        line += QStringLiteral(" until ") +
                until.toOffsetFromUtc(until.offsetFromUtc()).toString(Qt::ISODate);
        break;
    }
    case Transition::Cleared:
    case Transition::Unshelved:
        break;
    }
    return line;
}
