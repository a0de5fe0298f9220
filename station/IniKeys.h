// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QSettings;

// Every key of one settings file with its value, read once.
//
// Reading a station asks for far more keys than a file holds (every optional
// key of every module), and the settings class answers each question by
// normalising the key, locking its file and converting the stored text again.
// This reads each key that is there once; a question is then one hash look-up
// of the key normalised as the settings class normalises it. It also notes
// which keys were asked for, so that the others can be named as unknown.
class IniKeys
{
public:
    explicit IniKeys(const QSettings &settings);

    // The value of key, or null when the file does not hold it. A key that is
    // there may still have an invalid value: the settings class reads the
    // text "@Invalid()" as no value.
    const QVariant *find(const QString &key);

    // The keys that no find() asked for, in the settings class's order.
    QStringList unasked() const;

    // key as the settings class files it: without leading or trailing
    // slashes, and with every run of slashes made one.
    static QString normalised(const QString &key);

private:
    static bool isFiled(const QString &key);
    // Writes key's filed form into out, in out's own buffer where it has room.
    static void normalise(const QString &key, QString &out);

    struct Entry
    {
        QString key;
        QVariant value;
        bool asked = false;
    };
    QVector<Entry> entries;
    QHash<QString, int> index;
    // The filed form of the last key asked for that needed one: many keys
    // of a station built from an empty or slashed section name do.
    QString spelling;
};
