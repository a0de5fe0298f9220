// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/Tesra.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>
#include <initializer_list>

class QWidget;

// Keeps a panel honest while its link is not ready.
//
// Every control that sends a command is disabled then, so that no input is
// taken that cannot be sent; every value field keeps its last value but is
// greyed, with a tooltip that says since when it may be out of date. When
// the link is ready again everything returns. The panel's own enable rules
// for a guarded control go through setOwnEnabled: the guard remembers what
// the panel wants and applies it at once while the link is ready, or when it
// returns, so each control ends up exactly as the panel's rules say. The
// panel's containers are never guarded, so their own rules keep working
// directly. Controls that only change the view are not registered and stay
// usable. A panel without a client is not guarded. Whatever still asks a
// panel's device to send while the link is not ready sends no command (see
// Device::mayGoOut).
class LinkGuard : public QObject
{
    Q_OBJECT

public:
    explicit LinkGuard(QObject *parent = nullptr);

    // Controls that send commands; their present enabled state is taken as
    // the panel's own.
    void addControls(std::initializer_list<QWidget *> widgets);
    // Fields that show values received from the device.
    void addValues(std::initializer_list<QWidget *> widgets);

    void setOwnEnabled(QWidget *control, bool enabled);
    bool ownEnabled(QWidget *control) const;

    // Follows the client's link state from now on.
    void follow(Tesra *client);
    // True while the controls are held disabled.
    bool isHolding() const { return holding; }
    // The tooltip the value fields carry while held.
    QString staleText() const;
    // The fields registered with addValues that still exist.
    QVector<QWidget *> valueWidgets() const;

private:
    struct Control
    {
        QPointer<QWidget> widget;
        bool own;
    };
    struct Value
    {
        QPointer<QWidget> widget;
        QString toolTip;
    };

    void linkStateChanged(Tesra::LinkState state);
    void apply();

    QVector<Control> controls;
    QVector<Value> values;
    Tesra *client = nullptr;
    bool holding = false;
    bool everReady = false;
    // When the guard saw the last ready link go.
    QDateTime lostAt;
};
