// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/Config.h"

#include <QLatin1String>

class Device;
class LinkGuard;
class PanelNotice;
class QObject;
class QWidget;
class SilenceBadge;

// What the panel of every kind of device offers the window: the widget, the
// device it shows, its place in its chamber's group and its badges, and
// being made inert when the window closes. The window and the chamber
// groups handle every panel through it, whatever the kind.
class DevicePanel
{
public:
    virtual ~DevicePanel();

    virtual QWidget *widget() = 0;
    virtual Device *device() const = 0;
    // The panel's cell in its group: column, row and their spans.
    virtual Config::Placement placement() const = 0;
    virtual void setPlacement(const Config::Placement &place) = 0;
    // The word the group's debug lines name the panel's kind by.
    virtual QLatin1String placementWord() const = 0;
    // No message, link state or widget of the panel reaches its slots any
    // more, and its device sends nothing.
    virtual void releaseClient() = 0;
    virtual LinkGuard *linkGuard() const = 0;
    virtual SilenceBadge *silenceBadge() const = 0;
    // What the panel tells the operator beyond its fields, for the window's
    // status bar.
    virtual PanelNotice *notice() const = 0;

protected:
    // Cuts every signal of the panel's children (its widgets, guards and
    // timers) from the panel and from its device: what the focus or a
    // closing window does to the widgets afterwards reaches neither.
    static void cutChildren(QWidget *panel, const QObject *device);
};
