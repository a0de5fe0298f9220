// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/Tesra.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class ElidedLabel;
class QLabel;
class QPushButton;
class Reconnector;

// Where the link to the message server stands, for the status bar.
//
// A coloured mark (green ready, yellow on the way, red down) and a line of
// text: connecting to HOST:PORT, connected as NAME since when, refused by
// the server, lost at what time and, with automatic reconnect on, when the
// next attempt comes, or that no valid port is configured. The Reconnect
// button, enabled whenever the link is not ready, restarts the client's
// link at once. The text follows the client's link-state signal as it
// comes; a one-second tick only counts down to the next attempt.
class LinkStatus : public QWidget
{
    Q_OBJECT

public:
    explicit LinkStatus(QWidget *parent = nullptr);

    // The client to show; reconnector may be null (no automatic reconnect).
    void follow(Tesra *client, Reconnector *reconnector);

    QString text() const;
    // "green", "yellow" or "red".
    QString markColour() const { return colour; }

private:
    void refresh();

    QLabel *mark;
    ElidedLabel *state;
    QPushButton *reconnect;
    QPointer<Tesra> client;
    QPointer<Reconnector> reconnector;
    QTimer tick;
    QString colour;
};
