// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/IniKeys.h"

#include <QSettings>

IniKeys::IniKeys(const QSettings &settings)
{
    const QStringList keys = settings.allKeys();
    entries.reserve(keys.size());
    index.reserve(keys.size());
    for (const QString &key : keys) {
        index.insert(key, entries.size());
        entries.append({key, settings.value(key)});
    }
}

const QVariant *IniKeys::find(const QString &key)
{
    const bool asFiled = isFiled(key);
    if (!asFiled)
        normalise(key, spelling);
    const auto it = index.constFind(asFiled ? key : spelling);
    if (it == index.constEnd())
        return nullptr;
    Entry &entry = entries[it.value()];
    entry.asked = true;
    return &entry.value;
}

QStringList IniKeys::unasked() const
{
    QStringList keys;
    for (const Entry &entry : entries) {
        if (!entry.asked)
            keys.append(entry.key);
    }
    return keys;
}

bool IniKeys::isFiled(const QString &key)
{
    const QChar slash = QLatin1Char('/');
    return !key.startsWith(slash) && !key.endsWith(slash) && !key.contains(QLatin1String("//"));
}

void IniKeys::normalise(const QString &key, QString &out)
{
    const QChar slash = QLatin1Char('/');
    out.resize(key.size());
    QChar *const begin = out.data();
    QChar *end = begin;
    for (const QChar c : key) {
        if (c == slash && (end == begin || end[-1] == slash))
            continue;
        *end++ = c;
    }
    if (end != begin && end[-1] == slash)
        --end;
    out.resize(int(end - begin));
}

QString IniKeys::normalised(const QString &key)
{
    // Almost every key is already in its filed form; it is returned shared,
    // without a copy of its characters.
    if (isFiled(key))
        return key;
    QString out;
    normalise(key, out);
    return out;
}
