// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/StationConfig.h"

#include "client/KeyFile.h"
#include "client/SMsg.h"
#include "client/Values.h"
#include "station/Station.h"

#include <QFile>

bool StationConfig::isNodeName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String("System"))
        return false;
    for (const QChar c : name) {
        if (c.isSpace() || c == QLatin1Char('>'))
            return false;
    }
    return true;
}

bool StationConfig::addDevice(const StationDevice &device)
{
    if (!isNodeName(device.node))
        return false;
    for (const StationDevice &d : qAsConst(devices)) {
        if (d.node == device.node)
            return d.kind == device.kind;
    }
    devices.append(device);
    return true;
}

bool StationConfig::read(const QString &path, QString &error)
{
    const Station station = Station::read(path);
    if (station.fileState != Station::FileReadable) {
        error = QStringLiteral("cannot read the station file %1").arg(path);
        return false;
    }
    keyFile = station.keyFile;
    port = station.serverPort;

    for (const StationAmp &module : station.ampModules) {
        StationDevice device;
        device.kind = StationDevice::Amplifier;
        device.node = SMsg::joinName(module.driver, module.ch);
        device.timeConstants = module.tcTable;
        device.ranges = module.rangeTable;
        if (!addDevice(device)) {
            error =
                QStringLiteral("amplifier %1: node name [%2] is not usable or names another device")
                    .arg(module.name, device.node);
            return false;
        }
    }
    for (const StationHv &module : station.hvModules) {
        StationDevice device;
        device.kind = StationDevice::Hv;
        device.node = SMsg::joinName(module.driver, module.ch);
        bool below = false;
        bool above = false;
        for (const QString &voltage : module.voltages) {
            const double value = Values::toNumber(voltage);
            below = below || value < 0;
            above = above || value > 0;
        }
        device.negative = below && !above;
        if (!addDevice(device)) {
            error =
                QStringLiteral("HV module %1: node name [%2] is not usable or names another device")
                    .arg(module.name, device.node);
            return false;
        }
    }
    return true;
}

bool readKeyWords(const QString &path, QStringList &words, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("cannot open the key file %1").arg(path);
        return false;
    }
    words = KeyFile::readWords(file);
    if (words.isEmpty()) {
        error = QStringLiteral("the key file %1 holds no key word").arg(path);
        return false;
    }
    return true;
}
