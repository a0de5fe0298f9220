#include "sim/StationConfig.h"

#include "client/KeyFile.h"
#include "client/SMsg.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

// The entries of the table named name, when the list of table names listKey
// holds it; the same lookup as Brenlow's, so the device offers what the
// panel does.
QStringList tableEntries(const QSettings &settings, const QString &listKey, const QString &name)
{
    if (Config::findTable(Config::readList(settings, listKey), name) < 0)
        return QStringList();
    return Config::readList(settings, name + QStringLiteral("/Table"));
}

} // namespace

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
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        error = QStringLiteral("cannot read the station file %1").arg(path);
        return false;
    }
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        error = QStringLiteral("cannot parse the station file %1").arg(path);
        return false;
    }
    keyFile = Config::readText(settings, QStringLiteral("Key File"),
                               QString::fromLatin1(Config::DefaultKeyFile));
    port = Config::readText(settings, QStringLiteral("Tesra Port"),
                            QString::fromLatin1(Config::DefaultServerPort));

    const auto nodeOf = [&settings](const QString &module) {
        const QString driver = Config::readText(settings, module + QStringLiteral("/driver"));
        const QString ch = Config::readText(settings, module + QStringLiteral("/ch"));
        return SMsg::joinName(driver, ch);
    };

    for (const QString &module : Config::readList(settings, QStringLiteral("AMP Module Names"))) {
        StationDevice device;
        device.kind = StationDevice::Amplifier;
        device.node = nodeOf(module);
        device.timeConstants =
            tableEntries(settings, QStringLiteral("TCTables"),
                         Config::readText(settings, module + QStringLiteral("/TC Table")));
        device.ranges =
            tableEntries(settings, QStringLiteral("RangeTables"),
                         Config::readText(settings, module + QStringLiteral("/Range Table")));
        if (!addDevice(device)) {
            error =
                QStringLiteral("amplifier %1: node name [%2] is not usable or names another device")
                    .arg(module, device.node);
            return false;
        }
    }
    for (const QString &module : Config::readList(settings, QStringLiteral("HV Module Names"))) {
        StationDevice device;
        device.kind = StationDevice::Hv;
        device.node = nodeOf(module);
        if (!addDevice(device)) {
            error =
                QStringLiteral("HV module %1: node name [%2] is not usable or names another device")
                    .arg(module, device.node);
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
