// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/Recorder.h"

#include "client/AnswerWatch.h"
#include "client/Values.h"
#include "history/AlarmRecord.h"
#include "history/Archive.h"

#include <QDateTime>
#include <array>

// One device's recorded messages in the client's delivery table, under the
// device's own addresses. It remembers the last status, range and overload
// so that only a change makes a timeline row.
class Recorder::Tap : public QObject
{
    using Quantity = History::Quantity;

public:
    Tap(Recorder *owner, const QString &moduleName, const QString &moduleNode)
        : QObject(owner), recorder(owner), module(moduleName), node(moduleNode)
    {
    }

    // The series this module's values go to, looked up once.
    void takeSeries(History &history, Quantity quantity)
    {
        series[size_t(quantity)] = &history.seriesFor(module, quantity);
    }

    // The handler of a reading's messages.
    static void (Tap::*handlerOf(Device::Reading reading))(const SMsg &)
    {
        switch (reading) {
        case Device::Reading::Voltage:
            return &Tap::voltage;
        case Device::Reading::Status:
            return &Tap::status;
        case Device::Reading::Range:
            return &Tap::range;
        case Device::Reading::Overload:
            break;
        }
        return &Tap::overload;
    }

    void voltage(const SMsg &msg) { record(Quantity::Voltage, msg.params); }

    void status(const SMsg &msg)
    {
        record(Quantity::Status, msg.params);
        const QString word = msg.params.simplified();
        if (word != lastStatus || !seenStatus)
            recorder->recordEvent(module, node, History::EventKind::Status, word);
        lastStatus = word;
        seenStatus = true;
    }

    void range(const SMsg &msg)
    {
        record(Quantity::Range, msg.params);
        const QString value = msg.params.trimmed();
        if (value != lastRange || !seenRange)
            recorder->recordEvent(module, node, History::EventKind::Range, value);
        lastRange = value;
        seenRange = true;
    }

    void overload(const SMsg &msg)
    {
        record(Quantity::Overload, msg.params);
        const bool on = Values::toInteger(msg.params) == 1;
        if (on != overloaded)
            recorder->recordEvent(module, node,
                                  on ? History::EventKind::OverloadSet
                                     : History::EventKind::OverloadCleared,
                                  msg.params.trimmed());
        overloaded = on;
    }

private:
    void record(Quantity quantity, const QString &text)
    {
        recorder->recordSample(*series[size_t(quantity)], module, node, quantity, text);
    }

    Recorder *recorder;
    std::array<History::Series *, 4> series{};
    QString module;
    QString node;
    QString lastStatus;
    QString lastRange;
    bool seenStatus = false;
    bool seenRange = false;
    bool overloaded = false;
};

Recorder::Recorder(History &history, QObject *parent) : QObject(parent), kept(history) {}

Recorder::~Recorder()
{
    // The taps are children; the client forgets them as they go.
    if (client) {
        for (Tap *tap : taps)
            client->StopDelivery(tap);
    }
}

void Recorder::follow(Tesra *tesra, const QList<Device *> &devices)
{
    client = tesra;
    if (!client)
        return;
    for (const Device *device : devices) {
        const QString module = device->section();
        const QString node = device->node();
        kept.setNode(module, node);
        auto *tap = new Tap(this, module, node);
        taps.push_back(tap);
        for (const Device::Recorded &row : device->recordedMessages()) {
            tap->takeSeries(kept, quantityOf(row.reading));
            client->Deliver(tap, row.signal, row.by, device->addressOf(row.by),
                            Tap::handlerOf(row.reading));
        }
        connect(device->answerWatch(), &AnswerWatch::deviceSilent, this,
                [this, module](const QString &silentNode, const QDateTime &since) {
                    recordEvent(module, silentNode, History::EventKind::Silent,
                                since.toString(Qt::ISODateWithMs));
                });
    }
    connect(client, &Tesra::LinkStateChanged, this, &Recorder::linkStateChanged);
}

History::Quantity Recorder::quantityOf(Device::Reading reading)
{
    switch (reading) {
    case Device::Reading::Voltage:
        return History::Quantity::Voltage;
    case Device::Reading::Status:
        return History::Quantity::Status;
    case Device::Reading::Range:
        return History::Quantity::Range;
    case Device::Reading::Overload:
        break;
    }
    return History::Quantity::Overload;
}

void Recorder::setArchive(Archive *archive)
{
    store = archive;
}

void Recorder::recordSample(const QString &module, History::Quantity quantity, const QString &text)
{
    recordSample(kept.seriesFor(module, quantity), module, kept.node(module), quantity, text);
}

void Recorder::recordSample(History::Series &series, const QString &module, const QString &node,
                            History::Quantity quantity, const QString &text)
{
    const qint64 t = QDateTime::currentMSecsSinceEpoch();
    kept.add(series, quantity, t, text);
    if (store)
        store->addSample(t, module, node, quantity, text);
}

void Recorder::recordEvent(const QString &module, const QString &node, History::EventKind kind,
                           const QString &text)
{
    History::Event event;
    event.t = QDateTime::currentMSecsSinceEpoch();
    event.module = module;
    event.node = node;
    event.kind = kind;
    event.text = text;
    kept.addEvent(event);
    if (store)
        store->addEvent(event);
}

bool Recorder::recordAlarm(const QString &transition, const AlarmRecord &record)
{
    History::EventKind kind = History::EventKind::AlarmRaised;
    if (!History::kindFromName(QStringLiteral("alarm-") + transition, kind))
        return false;
    QString text = record.condition;
    if (kind == History::EventKind::AlarmAcknowledged)
        text += QStringLiteral(" by ") + record.ackedBy;
    recordEvent(record.module, kept.node(record.module), kind, text);
    return true;
}

void Recorder::linkStateChanged(Tesra::LinkState state)
{
    History::EventKind kind;
    switch (state) {
    case Tesra::LinkState::Ready:
        kind = History::EventKind::LinkReady;
        break;
    case Tesra::LinkState::Lost:
        kind = History::EventKind::LinkLost;
        break;
    case Tesra::LinkState::Refused:
        kind = History::EventKind::LinkRefused;
        break;
    default:
        return;
    }
    if (int(kind) == lastLink)
        return;
    lastLink = int(kind);
    recordEvent(QString(), QString(), kind,
                QStringLiteral("%1:%2").arg(client->serverAddress()).arg(client->serverPort()));
}
