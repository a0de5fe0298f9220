#include "sim/StationConfig.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace {

QStringList listValue(const QSettings &settings, const QString &key)
{
    QStringList out;
    const QStringList raw = settings.value(key).toStringList();
    for (const QString &item : raw)
        out.append(item.trimmed());
    return out;
}

// The entries of the table named name in the list of table names listKey.
QStringList tableEntries(const QSettings &settings, const QString &listKey, const QString &name)
{
    if (name.isEmpty() || !listValue(settings, listKey).contains(name))
        return QStringList();
    return listValue(settings, name + QStringLiteral("/Table"));
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
    keyFile = settings.value(QStringLiteral("Key File"), QStringLiteral("Brenlow")).toString();
    port = settings.value(QStringLiteral("Tesra Port"), QStringLiteral("6058")).toString();

    const auto nodeOf = [&settings](const QString &module) {
        const QString driver = settings.value(module + QStringLiteral("/driver")).toString();
        const QString ch = settings.value(module + QStringLiteral("/ch")).toString();
        return ch.isEmpty() ? driver : driver + QLatin1Char('.') + ch;
    };

    for (const QString &module : listValue(settings, QStringLiteral("AMP Module Names"))) {
        StationDevice device;
        device.kind = StationDevice::Amplifier;
        device.node = nodeOf(module);
        device.timeConstants =
            tableEntries(settings, QStringLiteral("TCTables"),
                         settings.value(module + QStringLiteral("/TC Table")).toString());
        device.ranges =
            tableEntries(settings, QStringLiteral("RangeTables"),
                         settings.value(module + QStringLiteral("/Range Table")).toString());
        if (!addDevice(device)) {
            error =
                QStringLiteral("amplifier %1: node name [%2] is not usable or names another device")
                    .arg(module, device.node);
            return false;
        }
    }
    for (const QString &module : listValue(settings, QStringLiteral("HV Module Names"))) {
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
    // A key file is a few words; anything much larger is not one.
    const QByteArray bytes = file.read(1 << 20);
    words = QString::fromLocal8Bit(bytes).split(QRegularExpression(QStringLiteral("\\s+")),
                                                Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        error = QStringLiteral("the key file %1 holds no key word").arg(path);
        return false;
    }
    return true;
}
