// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/LinkStatus.h"

#include "client/LinkDeadlines.h"
#include "client/Reconnector.h"
#include "devices/Colours.h"
#include "widgets/ElidedLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

struct Mark
{
    const char *name;
    Colours::Colour colour;
};

const Mark Green{"green", Colours::Colour::LinkReady};
const Mark Yellow{"yellow", Colours::Colour::LinkPending};
const Mark Red{"red", Colours::Colour::LinkDown};

constexpr int MarkSize = 12;

// A round mark: the corner radius is half the mark's size.
QString markStyle(const Mark &mark)
{
    return Colours::background(mark.colour) +
           QStringLiteral(" border-radius: %1px;").arg(MarkSize / 2);
}

QString clock(const QDateTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

LinkStatus::LinkStatus(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LinkStatus"));
    mark = new QLabel(this);
    mark->setObjectName(QStringLiteral("LinkMark"));
    mark->setFixedSize(MarkSize, MarkSize);
    // Elided to the room the status bar leaves it, so that a long refusal or
    // countdown never widens the window.
    state = new ElidedLabel(this);
    state->setObjectName(QStringLiteral("LinkState"));
    // The line gives way to the notes on its left (a device that stopped
    // answering) rather than widen the window; the mark's tooltip holds it
    // whole.
    state->setMinimumWidth(1);
    reconnect = new QPushButton(tr("Reconnect"), this);
    reconnect->setObjectName(QStringLiteral("ReconnectB"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(6);
    row->addWidget(mark);
    row->addWidget(state, 1);
    row->addWidget(reconnect);

    tick.setInterval(1000);
    connect(&tick, &QTimer::timeout, this, &LinkStatus::refresh);
    connect(reconnect, &QPushButton::clicked, this, [this] {
        if (client)
            client->ReConnect();
    });
    refresh();
}

void LinkStatus::follow(Tesra *c, Reconnector *r)
{
    if (client)
        disconnect(client, nullptr, this, nullptr);
    if (reconnector)
        disconnect(reconnector, nullptr, this, nullptr);
    client = c;
    reconnector = r;
    if (client)
        connect(client, &Tesra::LinkStateChanged, this, &LinkStatus::refresh);
    if (reconnector)
        connect(reconnector, &Reconnector::RetryScheduled, this, &LinkStatus::refresh);
    refresh();
}

QString LinkStatus::text() const
{
    return state->text();
}

void LinkStatus::refresh()
{
    const Mark *shown = &Red;
    QString line = tr("Not connected");
    bool ready = false;
    if (client) {
        const QString host = client->serverAddress();
        const quint16 port = client->serverPort();
        switch (client->linkState()) {
        case Tesra::LinkState::Idle:
            break;
        case Tesra::LinkState::Connecting:
        case Tesra::LinkState::Handshake:
            shown = &Yellow;
            line = tr("Connecting to %1:%2").arg(host).arg(port);
            break;
        case Tesra::LinkState::Ready:
            shown = &Green;
            ready = true;
            line = tr("Connected as %1 to %2:%3, since %4")
                       .arg(client->name(), host)
                       .arg(port)
                       .arg(clock(client->linkStateSince()));
            break;
        case Tesra::LinkState::Refused:
            if (client->refusal() == Tesra::Refusal::NoAnswer) {
                line = LinkDeadlines::handshakeCutOff(host, port);
                break;
            }
            line = tr("Refused: the server closed the link during the handshake (%1:%2)")
                       .arg(host)
                       .arg(port);
            break;
        case Tesra::LinkState::Lost:
            line = tr("Lost at %1").arg(clock(client->linkDownSince()));
            break;
        case Tesra::LinkState::NoValidPort:
            line = tr("Not connecting: no valid port");
            break;
        case Tesra::LinkState::NoValidName:
            line = tr("Not connecting: the client name holds white space");
            break;
        }
    }
    const bool waiting = reconnector && reconnector->isWaiting();
    if (waiting)
        line = tr("%1, retrying in %2 s, attempt %3")
                   .arg(line)
                   .arg(reconnector->secondsToAttempt())
                   .arg(reconnector->attempt());
    if (waiting && !tick.isActive())
        tick.start();
    else if (!waiting)
        tick.stop();

    colour = QLatin1String(shown->name);
    mark->setStyleSheet(markStyle(*shown));
    mark->setToolTip(line);
    state->setToolTip(line);
    state->setText(line);
    reconnect->setEnabled(!ready);
}
