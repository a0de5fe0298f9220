// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Device.h"

#include "alarms/ModuleAlarms.h"
#include "client/AnswerWatch.h"
#include "client/Logging.h"
#include "client/SMsg.h"
#include "client/Tesra.h"

Device::Device(QObject *parent) : QObject(parent), watch(new AnswerWatch(this)) {}

Device::~Device() = default;

QString Device::node() const
{
    return SMsg::joinName(deviceAddress.driver, deviceAddress.ch);
}

QString Device::addressOf(Tesra::Addressed by) const
{
    return by == Tesra::Addressed::ToSub ? deviceAddress.id : node();
}

bool Device::isMine(const SMsg &msg) const
{
    return msg.toSub == deviceAddress.id;
}

void Device::setClient(Tesra *client)
{
    if (!client)
        return;
    linkClient = client;
    watch->follow(linkClient);
    connect(linkClient, &Tesra::ConnectionIsReady, this, &Device::takeLink, Qt::UniqueConnection);
    // The replies and events reach the device through the client's
    // delivery, which takeLink sets up with the device's addresses.
}

void Device::takeLink()
{
    ready = true;
    startLink();
}

void Device::release()
{
    // The silence dropped as the watch lets go, the link lost as the client
    // closes: none of it says anything about the module.
    if (feed) {
        feed->stop();
        disconnect(this, nullptr, feed, nullptr);
        disconnect(watch, nullptr, feed, nullptr);
    }
    if (linkClient) {
        linkClient->StopDelivery(this);
        disconnect(linkClient, nullptr, this, nullptr);
    }
    linkClient = nullptr;
    ready = false;
    watch->release();
}

void Device::subscribe()
{
    if (linkClient)
        linkClient->SendMsg(deviceAddress.id, QStringLiteral("System"), QStringLiteral("flgon"),
                            node());
}

bool Device::mayGoOut(const QString &message) const
{
    const QString word = message.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    if (!linkClient || linkClient->linkState() == Tesra::LinkState::Ready || Tesra::isQuery(word))
        return true;
    qCDebug(lcClient).noquote() << "not sent, the link is not ready:" << message;
    return false;
}

bool Device::request(const QString &message, const QString &params)
{
    if (!linkClient || !mayGoOut(message) ||
        !linkClient->SendMsg(deviceAddress.id, node(), message, params))
        return false;
    watch->requestSent();
    return true;
}

void Device::reportAlarms(ModuleAlarms *alarms)
{
    if (!alarms || feed == alarms)
        return;
    feed = alarms;
    connect(this, &Device::alertChanged, alarms, &ModuleAlarms::alert);
    if (alertKnown)
        alarms->alert(alerting, alertMessage);
    connect(watch, &AnswerWatch::deviceSilent, alarms,
            [alarms](const QString &node, const QDateTime &) { alarms->silent(true, node); });
    auto answers = [alarms](const QString &node) { alarms->silent(false, node); };
    connect(watch, &AnswerWatch::deviceAnswering, alarms, answers);
    connect(watch, &AnswerWatch::silenceDropped, alarms, answers);
    // A node that was never silent on this run answers too: an alarm kept
    // from before a restart learns that it no longer holds. Once is enough;
    // the watch tells of every silence after that.
    connect(this, &Device::changed, alarms, [this, alarms, told = false]() mutable {
        if (told || !hasAnswered() || watch->isSilent())
            return;
        told = true;
        alarms->silent(false, node());
    });
    reportKindAlarms(alarms);
}

void Device::reportKindAlarms(ModuleAlarms *) {}

ModuleAlarms *Device::alarms() const
{
    return feed;
}

void Device::setAlert(bool on, const QString &text)
{
    if (alertKnown && on == alerting && text == alertMessage)
        return;
    alertKnown = true;
    alerting = on;
    alertMessage = text;
    emit alertChanged(alerting, alertMessage);
}
