// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmConditions.h"
#include "history/AlarmRecord.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

class AlarmClock;
struct Station;

// The station's alarms: what is raised, what has cleared, who acknowledged
// what, what is shelved. It holds the state; the window only shows it.
//
// The devices report the state of their conditions (report()); a condition
// that comes to hold raises an alarm, one that stops holding clears it. An
// alarm stays listed, latched, until it has both cleared and been
// acknowledged, in whichever order. Acknowledging records the operator
// (USER@HOST, the login name of the user running the program and the host
// name). An alarm can be shelved for a while: it stays listed and goes on
// being raised and cleared, but is not annunciated; at the end of the while
// it comes back by itself. A monitoring display (read-only) shows all of it
// but can neither acknowledge nor shelve. Every transition is a signal, from
// which the command log, the history and the archive are written; the
// records let the archive keep the alarms across a restart.
class AlarmList : public QObject
{
    Q_OBJECT

public:
    enum class Transition { Raised, Cleared, Acknowledged, Shelved, Unshelved };
    Q_ENUM(Transition)

    static constexpr qint64 HourMs = qint64(60) * 60 * 1000;
    // The two shelving times an operator can choose.
    static constexpr qint64 ShortShelfMs = HourMs;
    static constexpr qint64 LongShelfMs = 8 * HourMs;

    // clock null: the system clock. Not owned; it must outlive the list.
    explicit AlarmList(const AlarmClock *clock = nullptr, QObject *parent = nullptr);

    // The time the alarms go by from now on, for every module's conditions
    // too; null for the system clock. Not owned.
    void setClock(const AlarmClock *clock);

    // Who acknowledges and shelves: USER@HOST of this process by default.
    void setOperatorName(const QString &name) { operatorText = name; }
    QString operatorName() const { return operatorText; }
    void setReadOnly(bool on) { readOnly = on; }
    bool isReadOnly() const { return readOnly; }

    // The conditions watched for module (its section name; "" for the
    // station and its link alarm). A condition that is not watched raises
    // nothing.
    void watch(const QString &module, AlarmConditions::Set conditions);
    bool isWatched(const QString &module, AlarmConditions::Condition condition) const;
    // Every module of the station with the conditions its "Alarms" key
    // leaves on, and the station's link alarm when it has any module.
    void watchStation(const Station &station);

    // The state of a condition as its device sees it now; value is what
    // raised it (a status word, a voltage) as text.
    void report(const QString &module, AlarmConditions::Condition condition, bool holds,
                const QString &value = QString());

    // Refused (false) in read-only mode and for an alarm that is not
    // listed or already acknowledged.
    bool acknowledge(const QString &module, AlarmConditions::Condition condition);
    // The number acknowledged.
    int acknowledgeAll();
    bool shelve(const QString &module, AlarmConditions::Condition condition, qint64 forMs);
    bool unshelve(const QString &module, AlarmConditions::Condition condition);

    // Takes the alarms that were listed when the program last ended. They come
    // back as they were until their device reports again; an alarm of a
    // module or condition no longer watched comes back cleared, and a shelf
    // whose time is up ends.
    void restore(const QVector<AlarmRecord> &records);

    // The listed alarms, oldest raised first.
    const QVector<AlarmRecord> &records() const { return listed; }
    const AlarmRecord *find(const QString &module, AlarmConditions::Condition condition) const;

    // Annunciated: unacknowledged and not shelved.
    bool isAnnunciated(const AlarmRecord &record) const;
    int annunciatedCount() const;
    // The highest severity among the annunciated alarms; false when there
    // are none.
    bool annunciatedSeverity(AlarmConditions::Severity &severity) const;
    // The same among one module's alarms.
    bool annunciatedSeverityOf(const QString &module, AlarmConditions::Severity &severity) const;
    bool isShelved(const AlarmRecord &record) const;

    qint64 now() const;

    // Ends every shelf whose time is up by the clock and waits for the next
    // one; the list's timer calls it, and a test that has moved its clock.
    void expireShelves();

    // Both cleared and acknowledged: no longer listed nor kept.
    static bool isFinished(const AlarmRecord &record);
    // The command log's line for a transition.
    static QString logLine(Transition transition, const AlarmRecord &record);
    // "raised", "cleared", ...: the word of the log line and of the
    // history's event kind.
    static QString transitionName(Transition transition);
    // USER@HOST of this process.
    static QString localOperator();

signals:
    // After each transition, with the alarm as it is now (finished once it
    // has both cleared and been acknowledged; it is then no longer listed).
    void transitioned(AlarmList::Transition transition, const AlarmRecord &record);
    // After anything in the list changed: a transition, a restore.
    void listChanged();

private:
    int indexOf(const QString &module, AlarmConditions::Condition condition) const;
    static QString keyOf(const QString &module, AlarmConditions::Condition condition);
    // Emits, and drops the alarm from the list once it has finished.
    void emitTransition(Transition transition, int index);
    void armShelfTimer();
    // The highest severity among the annunciated alarms that take.
    template <typename Take>
    bool highestSeverity(Take take, AlarmConditions::Severity &severity) const;

    const AlarmClock *clock;
    QString operatorText;
    bool readOnly = false;
    QHash<QString, AlarmConditions::Set> watched;
    QVector<AlarmRecord> listed;
    // The last state each watched condition was reported in, so that an
    // alarm restored after its device has spoken takes that state.
    QHash<QString, bool> reported;
    QTimer shelfTimer;
};
