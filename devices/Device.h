// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/Tesra.h"
#include "station/Snapshot.h"

#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class AnswerWatch;
class ModuleAlarms;
class SMsg;

// One device of the station as the program knows it, without any widget.
//
// A device is one node of the Tesra server, an amplifier or an HV module,
// reached through the one shared client. It states its addresses to the
// client and asks for its values on every ready link; it keeps what it asked
// and what came back; it decodes its replies and events into what it holds
// and sends the commands that the operator's changes (and its own rules) call
// for. A panel is only a view of its device: it shows what the device holds
// and hands the operator's changes to it. The command-line snapshot runs use
// the same devices without any panel.
//
// Every kind of device answers the same questions: who it is (its section in
// the station file, its id and its node), whether its value queries have been
// answered on this link, what it reported for each of its snapshot settings
// and how a setting is put back, and whether it signals an alert. changed()
// says that any of it may have changed; the alert and the readings that the
// station keeps a history of have signals of their own.
class Device : public QObject
{
    Q_OBJECT

public:
    // What the station's history keeps of its devices.
    enum class Reading { Voltage, Status, Range, Overload };
    Q_ENUM(Reading)
    // A message of the device that carries a reading: the client's signal it
    // comes as, and whether it is the device's by its receiver sub-name (the
    // id) or by its sender (the node). The rows come from the kind's own
    // table of the messages it takes.
    struct Recorded
    {
        Tesra::MsgSignal signal;
        Tesra::Addressed by;
        Reading reading;
    };

    // Where the device's lines go and come from: the id is the sub-name
    // under the client's name (a request's sender, a reply's receiver), the
    // driver and channel name the device's node.
    struct Address
    {
        QString id;
        QString driver;
        QString ch;
    };

    // How a snapshot's value of a setting is put back: by the commands an
    // operator's change sends, only filled in for the operator to apply, or
    // not at all (values kept for information).
    enum class Restore { Send, FillIn, Never };

    explicit Device(QObject *parent = nullptr);
    ~Device() override;

    // The module's name in the station file; snapshots and the history go
    // by it.
    QString section() const { return sectionName; }
    void setSection(const QString &name) { sectionName = name; }
    // The address, as the panel's contract lets the window write it; the
    // device reads it whenever it sends and on every ready link.
    Address &address() { return deviceAddress; }
    const Address &address() const { return deviceAddress; }
    // The device's node: the driver, or the driver, ".", the channel.
    QString node() const;
    // A reply is the device's when it is addressed to its id.
    bool isMine(const SMsg &msg) const;

    // Takes the client and follows its ready link from now on; a null
    // client is ignored, and a second call with the same client adds
    // nothing.
    void setClient(Tesra *client);
    Tesra *client() const { return linkClient; }
    // The client pointer itself, for the panel whose contract names it as a
    // field of its own.
    Tesra *&clientField() { return linkClient; }
    // True from the first ready link on; never reset.
    bool isReady() const { return ready; }
    bool &readyField() { return ready; }
    // Runs what a ready link starts: the device states its addresses to the
    // client, subscribes to its node's events and asks for its values.
    void takeLink();
    // Makes the device inert: no message, link state or timer reaches it any
    // more and it holds no client, so it sends nothing; it is not ready.
    virtual void release();
    // Tells when the node leaves the device's requests unanswered.
    AnswerWatch *answerWatch() const { return watch; }

    // The snapshot table of the device's kind and its settings' values.
    virtual SnapshotDifference::Scope scope() const = 0;
    const QVector<SnapshotSetting> &settings() const { return Snapshot::settings(scope()); }
    // What the device last reported for a setting on this link, in the
    // snapshot's terms; null until it has answered.
    virtual QJsonValue reported(int setting) const = 0;
    virtual Restore restoreOf(int setting) const = 0;
    // Puts a setting back as the operator's own change would; false when the
    // device offers no way to (see the kinds).
    virtual bool put(int setting, const QJsonValue &value) = 0;
    // Sends the value queries again.
    virtual void askValues() = 0;
    // Whether a value query sent on this link still waits for its answer.
    virtual bool awaitsAnswers() const = 0;
    // Whether every value query has had an answer on this link.
    virtual bool hasAnswered() const = 0;

    // The messages of the device that the history keeps, and the address
    // each is known by.
    virtual QVector<Recorded> recordedMessages() const = 0;
    QString addressOf(Tesra::Addressed by) const;

    // The alert the device signals right now: the amplifier's overload or
    // error, an HV status outside the known words; its text as the panel
    // shows it.
    bool isAlerting() const { return alerting; }
    QString alertText() const { return alertMessage; }

    // Reports the device's alarm conditions to alarms from now on: its alert
    // (the kind's alarm condition), whether its node answers, and whatever
    // its kind adds (reportKindAlarms). release() cuts them off, so that
    // nothing the device goes through on its way out reaches the alarms.
    // Not owned; the station makes it the device's child.
    void reportAlarms(ModuleAlarms *alarms);
    ModuleAlarms *alarms() const;

signals:
    // Something the device holds may have changed.
    void changed();
    // The alert as the device first knows it (raised or not), and every
    // change of it.
    void alertChanged(bool alerting, const QString &text);
    // What the device has to tell the operator beyond what it holds: a value
    // it would not record, say. The window shows it in its status bar.
    void notice(const QString &text);

protected:
    // The kind's part of a ready link: its deliveries and its start lines.
    virtual void startLink() = 0;
    // Whether a line with this message may go to the client now: a query
    // always, since it changes nothing; a command only while the link is
    // ready (or there is no client to ask), since it could not reach the
    // device otherwise and would leave the operator believing it had. A
    // command held back is named in the debug log.
    bool mayGoOut(const QString &message) const;
    // Asks the server's System node to pass the device node's events on.
    void subscribe();
    // Sends a message to the device's node with the device's id as sender,
    // if it may go out; true when the client took it, which starts the
    // answer watch's clock.
    bool request(const QString &message, const QString &params = QString());
    // Raises or clears the alert; alertChanged the first time and when it
    // changes.
    void setAlert(bool on, const QString &text);
    // The kind's own alarm conditions, beyond the alert and the silence;
    // none by default.
    virtual void reportKindAlarms(ModuleAlarms *alarms);

private:
    QString sectionName;
    Address deviceAddress;
    Tesra *linkClient = nullptr;
    bool ready = false;
    AnswerWatch *watch = nullptr;
    bool alerting = false;
    bool alertKnown = false;
    QString alertMessage;
    QPointer<ModuleAlarms> feed;
};
