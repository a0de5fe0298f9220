// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/SMsg.h"
#include "client/Tesra.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

// Tells when a device node has stopped answering its panel.
//
// The panel tells it of every request it sends to its node; the watch hears
// every routed reply and event whose sender is the node through the
// client's delivery. When a request has gone unanswered for longer than the
// answer timeout and nothing at all has come from the node since it was
// sent, the node is silent since that request (deviceSilent); the first
// line from it ends that (deviceAnswering). Whether a node answers can only
// be known over a ready link: before the link is first ready nothing is
// watched, and when it goes a silence is dropped (silenceDropped) and
// requests are forgotten. It changes nothing on the link or in any panel;
// showing the silence is left to whoever listens.
class AnswerWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultMs = 10000;

    explicit AnswerWatch(QObject *parent = nullptr);
    ~AnswerWatch() override;

    // 0 (or less) turns the watch off; a silence being shown ends.
    void setTimeout(int ms);
    int timeout() const { return timeoutMs; }

    // Follows the client's link state from now on.
    void follow(Tesra *client);
    // Hears the node's lines from now on; the panel calls it on every ready
    // link, when it states its own addresses.
    void listen(const QString &node);
    // No more lines, link states or requests reach the watch.
    void release();

    // A request has been written to the node.
    void requestSent();

    QString node() const { return watched; }
    bool isSilent() const { return silent; }
    // The time of the oldest unanswered request while silent, else null.
    QDateTime silentSince() const { return silent ? pendingSince : QDateTime(); }

signals:
    void deviceSilent(const QString &node, const QDateTime &since);
    void deviceAnswering(const QString &node);
    // The link went down or the watch was turned off while the node was
    // silent: whether it answers is not known any more.
    void silenceDropped(const QString &node);

private:
    void heard(const SMsg &msg);
    void linkStateChanged(Tesra::LinkState state);
    void expired();
    // Forgets the pending request and any silence.
    void reset();

    QPointer<Tesra> client;
    QString watched;
    QTimer timer;
    int timeoutMs = DefaultMs;
    bool linkReady = false;
    bool silent = false;
    // When the oldest request not followed by any line was sent; null when
    // there is none.
    QDateTime pendingSince;
};
