#include "client/KeyFile.h"

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

} // namespace KeyFile
