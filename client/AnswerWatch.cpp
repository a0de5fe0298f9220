// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/AnswerWatch.h"

#include "client/Logging.h"
#include "client/MessageNames.h"

AnswerWatch::AnswerWatch(QObject *parent) : QObject(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &AnswerWatch::expired);
}

AnswerWatch::~AnswerWatch()
{
    release();
}

void AnswerWatch::setTimeout(int ms)
{
    timeoutMs = qMax(0, ms);
    if (timeoutMs == 0)
        reset();
}

void AnswerWatch::follow(Tesra *c)
{
    if (!c || c == client)
        return;
    release();
    client = c;
    connect(client, &Tesra::LinkStateChanged, this, &AnswerWatch::linkStateChanged);
    linkStateChanged(client->linkState());
}

void AnswerWatch::listen(const QString &node)
{
    if (!client)
        return;
    watched = node;
    // Every routed word counts, whatever it is and whoever it is addressed
    // to: any sign of life from the node.
    client->StopDelivery(this);
    for (int id = 0; id < MessageNames::IdCount; ++id) {
        if (const MessageNames::Signal signal = MessageNames::signalFor(id))
            client->Deliver(this, signal, Tesra::Addressed::From, node, &AnswerWatch::heard);
    }
}

void AnswerWatch::release()
{
    if (client) {
        client->StopDelivery(this);
        disconnect(client, nullptr, this, nullptr);
    }
    client = nullptr;
    linkReady = false;
    reset();
}

void AnswerWatch::requestSent()
{
    if (!linkReady || timeoutMs == 0 || !pendingSince.isNull())
        return;
    pendingSince = QDateTime::currentDateTime();
    timer.start(timeoutMs);
}

void AnswerWatch::heard(const SMsg &)
{
    // Called for every line of the node, floods included: cheap when
    // nothing is pending.
    if (!pendingSince.isNull()) {
        pendingSince = QDateTime();
        timer.stop();
    }
    if (!silent)
        return;
    silent = false;
    qCDebug(lcClient).noquote() << QStringLiteral("%1 is answering again").arg(watched);
    emit deviceAnswering(watched);
}

void AnswerWatch::linkStateChanged(Tesra::LinkState state)
{
    linkReady = state == Tesra::LinkState::Ready;
    if (!linkReady)
        reset();
}

void AnswerWatch::expired()
{
    if (!linkReady || pendingSince.isNull() || silent)
        return;
    silent = true;
    qCDebug(lcClient).noquote() << QStringLiteral("%1 not answering since %2")
                                       .arg(watched,
                                            pendingSince.toString(QStringLiteral("HH:mm:ss")));
    emit deviceSilent(watched, pendingSince);
}

void AnswerWatch::reset()
{
    timer.stop();
    pendingSince = QDateTime();
    if (!silent)
        return;
    silent = false;
    emit silenceDropped(watched);
}
