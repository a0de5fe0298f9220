// SPDX-License-Identifier: GPL-3.0-or-later
// Key-file reading and the choice of the key word for a challenge number.
//
// Checked: every word read is non-empty and holds no white space, the words
// joined again give the file's text without its white space, and the word a
// challenge picks is the one at the number modulo the word count (none for a
// negative number or an empty file).

#include "FuzzSupport.h"
#include "client/KeyFile.h"

#include <QBuffer>
#include <QTextStream>
#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using FuzzSupport::check;
    FuzzedDataProvider input(data, size);
    const qint32 challenge = input.ConsumeIntegral<qint32>();
    const std::string rest = input.ConsumeRemainingBytesAsString();
    QByteArray bytes(rest.data(), int(rest.size()));

    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    const QStringList words = KeyFile::readWords(file);

    // The same text through the same decoder, with its white space dropped.
    QBuffer again(&bytes);
    again.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream text(&again);
    QString expected;
    for (const QChar c : text.readAll()) {
        if (!c.isSpace())
            expected.append(c);
    }

    QString joined;
    for (const QString &word : words) {
        check(!word.isEmpty(), "empty key word");
        for (const QChar c : word)
            check(!c.isSpace(), "white space inside a key word");
        joined += word;
    }
    check(joined == expected, "key words lose or add text");

    const QString key = KeyFile::pick(words, challenge);
    if (words.isEmpty() || challenge < 0)
        check(key.isEmpty(), "a key word without words or for a negative number");
    else
        check(key == words.at(challenge % words.size()), "not the word the number selects");
    return 0;
}
