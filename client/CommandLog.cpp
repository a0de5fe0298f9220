// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/CommandLog.h"

#include <QDateTime>

bool CommandLog::open(const QString &path)
{
    if (file.isOpen())
        file.close();
    file.setFileName(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

void CommandLog::write(const QString &entry)
{
    if (!file.isOpen())
        return;
    file.write((line(QDateTime::currentDateTime(), entry) + QLatin1Char('\n')).toUtf8());
    file.flush();
}

QString CommandLog::line(const QDateTime &when, const QString &entry)
{
    // Local time, with its offset so that the record stays unambiguous across
    // a change of daylight saving time.
    const QDateTime local = when.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs) +
           QLatin1Char(' ') + entry;
}
