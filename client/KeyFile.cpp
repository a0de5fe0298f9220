// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/KeyFile.h"

#include <QFileInfo>
#include <QIODevice>
#include <QTextStream>

namespace KeyFile {

QStringList readWords(QIODevice &device)
{
    QStringList words;
    QTextStream in(&device);
    while (!in.atEnd()) {
        QString word;
        in >> word;
        if (!word.isEmpty())
            words.append(word);
    }
    return words;
}

QString pick(const QStringList &words, qint32 number)
{
    if (words.isEmpty() || number < 0)
        return QString();
    return words.at(number % words.size());
}

bool openToOthers(const QString &path)
{
#ifdef Q_OS_UNIX
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    return (QFileInfo(path).permissions() & others) != 0;
#else
    Q_UNUSED(path)
    return false;
#endif
}

} // namespace KeyFile
