// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/DevicePanel.h"

#include <QList>
#include <QWidget>

DevicePanel::~DevicePanel() = default;

void DevicePanel::cutChildren(QWidget *panel, const QObject *device)
{
    const QList<QObject *> children = panel->findChildren<QObject *>();
    for (QObject *child : children) {
        QObject::disconnect(child, nullptr, panel, nullptr);
        if (device)
            QObject::disconnect(child, nullptr, device, nullptr);
    }
}
