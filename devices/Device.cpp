// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Device.h"

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

void Device::setAlert(bool on, const QString &text)
{
    if (on == alerting && text == alertMessage)
        return;
    alerting = on;
    alertMessage = text;
    emit alertChanged(alerting, alertMessage);
}
