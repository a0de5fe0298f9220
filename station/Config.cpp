// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/Config.h"

#include "client/Values.h"

#include <QVariant>
#include <algorithm>
#include <cmath>

namespace Config {

const char DefaultServerAddress[] = "192.168.11.5";
const char DefaultServerPort[] = "6058";
const char DefaultClientName[] = "Brenlow";
const char DefaultKeyFile[] = "Brenlow";
const char DefaultConfigFile[] = "Brenlow.ini";
const int DefaultHistoryDays = 30;
const int DefaultHistoryQueue = 1000000;

namespace {

QString text(const QVariant &value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

} // namespace

QString readText(const QVariant *value, const QString &defaultValue)
{
    return value ? text(*value) : defaultValue;
}

QStringList readList(const QVariant *value)
{
    QStringList items;
    if (!value)
        return items;
    if (value->type() == QVariant::StringList) {
        items = value->toStringList();
    } else {
        const QString text = value->toString();
        if (text.trimmed().isEmpty())
            return items;
        items.append(text);
    }
    for (QString &item : items)
        item = item.trimmed();
    return items;
}

bool readFlag(const QVariant *value, bool defaultValue)
{
    if (!value)
        return defaultValue;
    const QString flag = text(*value).trimmed();
    return !(flag.isEmpty() || flag.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
             flag == QLatin1String("0"));
}

Placement modulePlacement(const QStringList &numbers, int index)
{
    Placement p;
    if (numbers.size() < 2) {
        p.row = index;
        return p;
    }
    p.col = Values::toInteger(numbers.at(0));
    p.row = Values::toInteger(numbers.at(1));
    if (numbers.size() >= 4) {
        p.colSpan = Values::toInteger(numbers.at(2));
        p.rowSpan = Values::toInteger(numbers.at(3));
    }
    return p;
}

Placement chamberPlacement(const QStringList &numbers, int index)
{
    // Like a module's place, but a group always spans one cell.
    return modulePlacement(numbers.mid(0, 2), index);
}

Placement namePlacement(const QStringList &numbers)
{
    return chamberPlacement(numbers, 0);
}

QString colourStyleSheet(const QStringList &numbers)
{
    if (numbers.size() < 3)
        return QString();
    return QStringLiteral("background-color: rgb(%1, %2, %3);")
        .arg(Values::toInteger(numbers.at(0)))
        .arg(Values::toInteger(numbers.at(1)))
        .arg(Values::toInteger(numbers.at(2)));
}

double tolerance(const QString &text)
{
    return std::fabs(Values::toNumber(text));
}

int reconnectIntervalMs(const QString &text)
{
    constexpr double HourMs = 3600.0 * 1000.0;
    const double ms = Values::toNumber(text) * 1000.0;
    if (!(ms > 0.0))
        return 0;
    return int(std::lround(std::min(ms, HourMs)));
}

int timeoutMs(const QString &text, int defaultMs)
{
    constexpr double HourMs = 3600.0 * 1000.0;
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !(seconds >= 0.0))
        return defaultMs;
    return int(std::lround(std::min(seconds * 1000.0, HourMs)));
}

int historyDays(const QString &text)
{
    const int days = Values::toInteger(text);
    return days >= 1 ? days : DefaultHistoryDays;
}

int historyQueue(const QString &text)
{
    const int samples = Values::toInteger(text);
    return samples >= 1 ? samples : DefaultHistoryQueue;
}

bool hvTolerance(const QString &text, double &value, bool &percent)
{
    QString number = text.trimmed();
    const bool isPercent = number.endsWith(QLatin1Char('%'));
    if (isPercent)
        number.chop(1);
    bool ok = false;
    const double v = number.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0.0)
        return false;
    value = v;
    percent = isPercent;
    return true;
}

bool alarmDelayMs(const QString &text, qint64 &ms)
{
    constexpr double HourMs = 3600.0 * 1000.0;
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !(seconds >= 0.0))
        return false;
    ms = std::llround(std::min(seconds * 1000.0, HourMs));
    return true;
}

bool strictFlag(const QString &text, bool &value)
{
    const QString flag = text.trimmed();
    if (flag.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
        flag == QLatin1String("1")) {
        value = true;
        return true;
    }
    if (flag.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
        flag == QLatin1String("0")) {
        value = false;
        return true;
    }
    return false;
}

int findTable(const QStringList &names, const QString &name)
{
    return names.indexOf(name);
}

} // namespace Config
