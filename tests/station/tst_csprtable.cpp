// SPDX-License-Identifier: GPL-3.0-or-later
// The current-suppression table without widgets: the file format, merging,
// ordering, the selector's item text and appending lines to the file.

#include "TestSupport.h"
#include "station/CSprTable.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif
#include <QtTest>

using Entries = QVector<QPair<double, double>>;
using Lines = QVector<int>;

namespace {

// The bytes of a literal, NUL bytes included.
template <int N> QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

Entries entriesOf(const CSprTable &table)
{
    Entries out;
    for (int i = 0; i < table.size(); ++i)
        out.append({table.at(i).range, table.at(i).value});
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

class tst_CSprTable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void load_data();
    void load();
    void loadOnlyPlainFiles_data();
    void loadOnlyPlainFiles();
    void itemText_data();
    void itemText();
    void entryLine();
    void append_data();
    void append();
    void appendCannotOpen();
};

void tst_CSprTable::initTestCase()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // What is undecodable depends on the local encoding; the rows below are
    // written for UTF-8, as Qt 6 always reads.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
#endif
}

void tst_CSprTable::load_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Entries>("expected");
    QTest::addColumn<Lines>("skipped"); // lines reported as not text

    QTest::newRow("comment, blank line and a later value for the same range")
        << QByteArray("1e-6 2e-10\n# a comment 1e-7 9\n\n1e-6 3e-10 : 24/01/02 10:00:00\n")
        << Entries{{1e-6, 3e-10}} << Lines{};
    QTest::newRow("largest range first whatever the file order")
        << QByteArray("1e-8 1\n1e-5 2\n1e-7 3\n1e-3 4\n1e-6 5\n")
        << Entries{{1e-3, 4}, {1e-5, 2}, {1e-6, 5}, {1e-7, 3}, {1e-8, 1}} << Lines{};
    QTest::newRow("a range alone gives the value 0")
        << QByteArray("1e-6\n") << Entries{{1e-6, 0}} << Lines{};
    QTest::newRow("words that are not numbers read as 0")
        << QByteArray("abc 2e-10\n1e-6 xyz\n") << Entries{{1e-6, 0}, {0, 2e-10}} << Lines{};
    QTest::newRow("nan and inf are not decimal numbers")
        << QByteArray("nan 1\ninf 2\n") << Entries{{0, 2}} << Lines{};
    QTest::newRow("tabs, blank runs and a carriage return")
        << QByteArray("  \t1e-6 \t  2.5e-10 \r\n") << Entries{{1e-6, 2.5e-10}} << Lines{};
    QTest::newRow("equal ranges written differently merge")
        << QByteArray("1e-6 1\n0.000001 2\n1.0E-6 3\n") << Entries{{1e-6, 3}} << Lines{};
    QTest::newRow("last line without line feed")
        << QByteArray("1e-6 1\n1e-7 2") << Entries{{1e-6, 1}, {1e-7, 2}} << Lines{};
    QTest::newRow("comment marker must start the first word")
        << QByteArray("1e-6 #1\n  #1e-7 2\n") << Entries{{1e-6, 0}} << Lines{};
    QTest::newRow("empty file") << QByteArray() << Entries{} << Lines{};
    QTest::newRow("a line of NUL bytes between two entries")
        << bytes("1e-6 2\n\0\0\0\n1e-7 3\n") << Entries{{1e-6, 2}, {1e-7, 3}} << Lines{2};
    QTest::newRow("a NUL inside a line")
        << bytes("1e-6 2\n1e-8\0 9\n1e-7 3") << Entries{{1e-6, 2}, {1e-7, 3}} << Lines{2};
    QTest::newRow("invalid UTF-8") << QByteArray("1e-6 2\n\xff\xfe 1e-8 4\n1e-7 3\n")
                                   << Entries{{1e-6, 2}, {1e-7, 3}} << Lines{2};
    QTest::newRow("a cut UTF-8 sequence does not take the line feed")
        << QByteArray("1e-6 2 \xe3\x81\n1e-7 3\n1e-8 \xc3") << Entries{{1e-7, 3}} << Lines{1, 3};
    QTest::newRow("lone carriage returns end lines too")
        << QByteArray("1e-6 1\r1e-7 2\r\n1e-8 3\n\r1e-9 4\r")
        << Entries{{1e-6, 1}, {1e-7, 2}, {1e-8, 3}, {1e-9, 4}} << Lines{};
    QTest::newRow("UTF-8 text and byte-order mark")
        << QByteArray("\xef\xbb\xbf"
                      "1e-6 1 : \xe6\xb8\xac\xe5\xae\x9a\n")
        << Entries{{1e-6, 1}} << Lines{};
    QTest::newRow("UTF-16 with a lone surrogate and a NUL")
        << bytes("\xff\xfe"
                 "1\0 \0"
                 "2\0\n\0"
                 "3\0\0\xd8\n\0"
                 "\0\0\n\0"
                 "4\0 \0"
                 "5\0")
        << Entries{{4, 5}, {1, 2}} << Lines{2, 3};
}

void tst_CSprTable::load()
{
    QFETCH(QByteArray, content);
    QFETCH(Entries, expected);
    QFETCH(Lines, skipped);
    QTemporaryDir dir;
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("t.txt")), content);
    for (const int line : skipped) {
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("CSpr Table file [%1]: line %2 "
                                                                   "is not text, skipped")
                                                        .arg(path)
                                                        .arg(line)));
    }

    CSprTable table;
    table.mergeLine(QStringLiteral("9 9")); // loading starts from an empty table
    QVERIFY(table.load(path));
    QCOMPARE(entriesOf(table), expected);
}

// Only a plain file that opens is a table; the configuration check's
// question without reading agrees with loading every time.
void tst_CSprTable::loadOnlyPlainFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("table");
    QTest::newRow("plain file") << "table.txt" << true;
    QTest::newRow("missing file") << "missing.txt" << false;
    QTest::newRow("no name") << "" << false;
    QTest::newRow("directory") << "folder" << false;
    QTest::newRow("device") << "/dev/null" << false;
}

void tst_CSprTable::loadOnlyPlainFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, table);
    QTemporaryDir dir;
    TestSupport::writeFile(dir.filePath(QStringLiteral("table.txt")), "1e-6 1\n");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString path =
        name.isEmpty() || name.startsWith(QLatin1Char('/')) ? name : dir.filePath(name);
    CSprTable loaded;
    loaded.mergeLine(QStringLiteral("9 9")); // a failed load leaves the table empty
    QCOMPARE(loaded.load(path), table);
    QCOMPARE(loaded.size(), table ? 1 : 0);
    QCOMPARE(CSprTable::canLoad(path), table);
}

void tst_CSprTable::itemText_data()
{
    QTest::addColumn<double>("range");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("typical") << 1e-6 << 2.5e-10 << QStringLiteral("1e-06 : 2.5e-10");
    QTest::newRow("value 0") << 1e-10 << 0.0 << QStringLiteral("1e-10 : 0");
    QTest::newRow("range rounded to no decimals")
        << 1.5e-6 << 1.23456789e-9 << QStringLiteral("2e-06 : 1.23457e-09");
    QTest::newRow("large range") << 10.0 << 3.0 << QStringLiteral("1e+01 : 3");
    QTest::newRow("range 0") << 0.0 << 2e-10 << QStringLiteral("0e+00 : 2e-10");
}

void tst_CSprTable::itemText()
{
    QFETCH(double, range);
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(CSprTable::itemText({range, value}), text);
}

void tst_CSprTable::entryLine()
{
    const QDateTime when(QDate(2024, 1, 2), QTime(10, 0, 0));
    QCOMPARE(CSprTable::entryLine(QStringLiteral("1e-6"), QStringLiteral("3e-10"), when),
             QStringLiteral("1e-6 3e-10 : 24/01/02 10:00:00\n"));
    QCOMPARE(CSprTable::entryLine(QStringLiteral("1e-6"), QStringLiteral("3e-10"),
                                  QDateTime(QDate(2031, 12, 30), QTime(23, 5, 9))),
             QStringLiteral("1e-6 3e-10 : 31/12/30 23:05:09\n"));
}

void tst_CSprTable::append_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<Entries>("entries");

    QTest::newRow("new file") << false << QByteArray() << QByteArray("1e-6 5 : x\n")
                              << Entries{{1e-6, 5}};
    QTest::newRow("empty file") << true << QByteArray() << QByteArray("1e-6 5 : x\n")
                                << Entries{{1e-6, 5}};
    QTest::newRow("complete last line")
        << true << QByteArray("1e-7 2\n") << QByteArray("1e-7 2\n1e-6 5 : x\n")
        << Entries{{1e-6, 5}, {1e-7, 2}};
    QTest::newRow("last line without line feed")
        << true << QByteArray("1e-7 2") << QByteArray("1e-7 2\n1e-6 5 : x\n")
        << Entries{{1e-6, 5}, {1e-7, 2}};
    QTest::newRow("crlf file") << true << QByteArray("1e-7 2\r\n")
                               << QByteArray("1e-7 2\r\n1e-6 5 : x\r\n")
                               << Entries{{1e-6, 5}, {1e-7, 2}};
    QTest::newRow("crlf file without final line end")
        << true << QByteArray("1e-8 1\r\n1e-7 2")
        << QByteArray("1e-8 1\r\n1e-7 2\r\n1e-6 5 : x\r\n")
        << Entries{{1e-6, 5}, {1e-7, 2}, {1e-8, 1}};
    // Found by fuzz_csprtable: a line written in 8-bit text after a UTF-16
    // file's mark was read back as UTF-16 and its value lost.
    QTest::newRow("UTF-16 file") << true
                                 << QByteArray("\xff\xfe"
                                               "1\0 \0"
                                               "2\0\n\0",
                                               10)
                                 << QByteArray("\xff\xfe"
                                               "1\0 \0"
                                               "2\0\n\0"
                                               "1\0e\0-\0"
                                               "6\0 \0"
                                               "5\0 \0:\0 \0x\0\n\0",
                                               32)
                                 << Entries{{1, 2}, {1e-6, 5}};
    QTest::newRow("NUL bytes at the end without a line feed")
        << true << bytes("1e-7 2\n\0\0\0") << bytes("1e-7 2\n\0\0\0\n1e-6 5 : x\n")
        << Entries{{1e-6, 5}, {1e-7, 2}};
    QTest::newRow("an undecodable last line")
        << true << QByteArray("1e-7 2\n1e-8 \xff") << QByteArray("1e-7 2\n1e-8 \xff\n1e-6 5 : x\n")
        << Entries{{1e-6, 5}, {1e-7, 2}};
    QTest::newRow("ends in a lone carriage return")
        << true << QByteArray("1e-8 1\r1e-7 2\r") << QByteArray("1e-8 1\r1e-7 2\r1e-6 5 : x\n")
        << Entries{{1e-6, 5}, {1e-7, 2}, {1e-8, 1}};
    // An odd number of bytes is no UTF-16: the file is 8-bit text, and each
    // line added keeps its size odd.
    QTest::newRow("UTF-16 mark with an odd size") << true
                                                  << bytes("\xff\xfe"
                                                           "1\0 \0"
                                                           "2\0\n\0"
                                                           "X")
                                                  << bytes("\xff\xfe"
                                                           "1\0 \0"
                                                           "2\0\n\0"
                                                           "X\n1e-6 5 : x\n")
                                                  << Entries{{1e-6, 5}};
    QTest::newRow("same range wins when appended")
        << true << QByteArray("1e-6 2\n") << QByteArray("1e-6 2\n1e-6 5 : x\n")
        << Entries{{1e-6, 5}};
}

void tst_CSprTable::append()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(Entries, entries);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.txt"));
    if (exists)
        TestSupport::writeFile(path, before);

    QCOMPARE(CSprTable::append(path, QStringLiteral("1e-6 5 : x\n")),
             CSprTable::AppendResult::Appended);
    QCOMPARE(readAll(path), after);
    // A buffer in memory takes the line the same way.
    QByteArray inMemory = before;
    QBuffer buffer(&inMemory);
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    QCOMPARE(CSprTable::append(buffer, QStringLiteral("1e-6 5 : x\n")),
             CSprTable::AppendResult::Appended);
    QCOMPARE(inMemory, after);

    CSprTable table;
    QVERIFY(table.load(path));
    QCOMPARE(entriesOf(table), entries);

    // Every later line comes back too, and what was there stays.
    QCOMPARE(CSprTable::append(path, QStringLiteral("1e-9 7 : y\n")),
             CSprTable::AppendResult::Appended);
    QVERIFY(readAll(path).startsWith(after));
    QVERIFY(table.load(path));
    QCOMPARE(entriesOf(table), entries + Entries({{1e-9, 7}}));
}

void tst_CSprTable::appendCannotOpen()
{
    QTemporaryDir dir;
    QCOMPARE(CSprTable::append(dir.filePath(QStringLiteral("no/such/dir/t.txt")),
                               QStringLiteral("1 2\n")),
             CSprTable::AppendResult::CannotOpen);
    QCOMPARE(CSprTable::append(QString(), QStringLiteral("1 2\n")),
             CSprTable::AppendResult::CannotOpen);
}

QTEST_GUILESS_MAIN(tst_CSprTable)
#include "tst_csprtable.moc"
