// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier's reply decoding on its own: status texts, error status and
// range matching, without a socket or a form.

#include "devices/CA5350Status.h"

#include <QtTest>

// letter -> capture; the letters not named are empty
using Letters = QMap<QString, QString>;

class tst_CA5350Status : public QObject
{
    Q_OBJECT

private slots:
    void status_data();
    void status();
    void timeConstantIndex_data();
    void timeConstantIndex();
    void captureByCharacter();
    void errorStatus_data();
    void errorStatus();
    void ranges_data();
    void ranges();
};

void tst_CA5350Status::status_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("body");
    QTest::addColumn<Letters>("captures");

    QTest::newRow("every driving letter")
        << "CA5350A1B0C1I1N0P1T/Z1" << true << "A1B0C1I1N0P1T/Z1"
        << Letters{{"A", "1"}, {"B", "0"}, {"C", "1"}, {"I", "1"},
                   {"N", "0"}, {"P", "1"}, {"T", "/"}, {"Z", "1"}};
    QTest::newRow("any order, kept letters too")
        << "CA5350Z0H12A2W7T5" << true << "Z0H12A2W7T5"
        << Letters{{"Z", "0"}, {"H", "12"}, {"A", "2"}, {"W", "7"}, {"T", "5"}};
    QTest::newRow("first occurrence wins") << "CA5350C1C0" << true << "C1C0" << Letters{{"C", "1"}};
    QTest::newRow("T takes one character only")
        << "CA5350T12" << true << "T12" << Letters{{"T", "1"}};
    QTest::newRow("letter without digits is missing")
        << "CA5350CxA3" << true << "CxA3" << Letters{{"A", "3"}};
    QTest::newRow("model name alone") << "CA5350" << true << "" << Letters{};
    QTest::newRow("another model") << "CA5351A1B1" << false << "" << Letters{};
    QTest::newRow("model name not at the start") << " CA5350A1" << false << "" << Letters{};
    QTest::newRow("empty") << "" << false << "" << Letters{};
}

void tst_CA5350Status::status()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, body);
    QFETCH(Letters, captures);
    const CA5350::Status status = CA5350::Status::fromText(text);
    QCOMPARE(status.isValid(), valid);
    QCOMPARE(status.body(), body);
    const QString letters = QStringLiteral("ABCHIJKMNPRSTWYZ");
    for (int k = 0; k < CA5350::LetterCount; ++k) {
        const auto letter = CA5350::Letter(k);
        const QString name = letters.at(k);
        QCOMPARE(status.capture(letter), captures.value(name));
        QCOMPARE(status.capture(letters.at(k)), captures.value(name));
        QCOMPARE(status.isOne(letter), captures.value(name).toInt() == 1);
    }
}

void tst_CA5350Status::timeConstantIndex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::newRow("dot") << "CA5350T." << 0;
    QTest::newRow("slash") << "CA5350T/" << 1;
    QTest::newRow("digit 0") << "CA5350T0" << 2;
    QTest::newRow("digit 5") << "CA5350T5" << 7;
    QTest::newRow("digit 9") << "CA5350T9" << 11;
    QTest::newRow("missing") << "CA5350A1" << 2;
}

void tst_CA5350Status::timeConstantIndex()
{
    QFETCH(QString, text);
    QFETCH(int, index);
    QCOMPARE(CA5350::Status::fromText(text).timeConstantIndex(), index);
}

void tst_CA5350Status::captureByCharacter()
{
    const CA5350::Status status = CA5350::Status::fromText(QStringLiteral("CA5350A1Q5a2"));
    QCOMPARE(status.capture(QChar(QLatin1Char('A'))), QStringLiteral("1"));
    // Q is no status letter and letters are upper case.
    QCOMPARE(status.capture(QChar(QLatin1Char('Q'))), QString());
    QCOMPARE(status.capture(QChar(QLatin1Char('a'))), QString());
    QCOMPARE(status.value(CA5350::B), 0);
}

void tst_CA5350Status::errorStatus_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("message"); // empty: none

    QTest::newRow("all clear") << "CA53500000000000" << true << "0000000000"
                               << "";
    QTest::newRow("command") << "CA53501000000000" << true << "1000000000"
                             << "Er: CMD";
    QTest::newRow("argument") << "CA53500100000000" << true << "0100000000"
                              << "Er: CMD Arg";
    QTest::newRow("position 2 is not read") << "CA53500010000000" << true << "0010000000"
                                            << "";
    QTest::newRow("self check") << "CA53500001000000" << true << "0001000000"
                                << "Er: Self CHK";
    QTest::newRow("suppression set") << "CA53500000100000" << true << "0000100000"
                                     << "Er: CSpr Set";
    QTest::newRow("suppression over") << "CA53500000010000" << true << "0000010000"
                                      << "Er: CSpr Over";
    QTest::newRow("auto suppression") << "CA53500000001000" << true << "0000001000"
                                      << "Er: AutoCSpr while ZeroCHK";
    QTest::newRow("position 7 is not read") << "CA53500000000100" << true << "0000000100"
                                            << "";
    QTest::newRow("memory") << "CA53500000000010" << true << "0000000010"
                            << "Er: Mem Err";
    QTest::newRow("over") << "CA53500000000001" << true << "0000000001"
                          << "Er: Over!";
    QTest::newRow("last listed wins") << "CA53501000000010" << true << "1000000010"
                                      << "Er: Mem Err";
    QTest::newRow("only 1 counts") << "CA53502000000000" << true << "2000000000"
                                   << "";
    QTest::newRow("short body") << "CA53501" << true << "1"
                                << "Er: CMD";
    QTest::newRow("non-digits count as 0") << "CA5350x1" << true << "x1"
                                           << "Er: CMD Arg";
    QTest::newRow("another model") << "CA53511000000000" << false << ""
                                   << "";
}

void tst_CA5350Status::errorStatus()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, body);
    QFETCH(QString, message);
    const CA5350::ErrorStatus error = CA5350::decodeErrorStatus(text);
    QCOMPARE(error.valid, valid);
    QCOMPARE(error.body, body);
    QCOMPARE(QString::fromLatin1(error.message), message);
}

void tst_CA5350Status::ranges_data()
{
    QTest::addColumn<QStringList>("ranges");
    QTest::addColumn<double>("reported");
    QTest::addColumn<int>("exact");
    QTest::addColumn<int>("nearest");

    const QStringList three{"1e-5", "1e-6", "1e-7"};
    QTest::newRow("equal item") << three << 1e-6 << 1 << 1;
    QTest::newRow("between items") << three << 2e-6 << -1 << 1;
    QTest::newRow("written differently") << QStringList{"0.001", "1e-3"} << 1e-3 << 0 << 0;
    QTest::newRow("above all") << three << 1.0 << -1 << 0;
    QTest::newRow("below all") << three << 0.0 << -1 << 2;
    QTest::newRow("tie takes the first") << QStringList{"1", "3"} << 2.0 << -1 << 0;
    QTest::newRow("repeated item") << QStringList{"2", "1", "1"} << 1.0 << 1 << 1;
    QTest::newRow("no ranges") << QStringList{} << 1e-6 << -1 << 0;
    QTest::newRow("non-number item reads as 0") << QStringList{"x", "1"} << 0.0 << 0 << 0;
}

void tst_CA5350Status::ranges()
{
    QFETCH(QStringList, ranges);
    QFETCH(double, reported);
    QFETCH(int, exact);
    QFETCH(int, nearest);
    QCOMPARE(CA5350::exactRangeIndex(ranges, reported), exact);
    QCOMPARE(CA5350::nearestRangeIndex(ranges, reported), nearest);
}

QTEST_APPLESS_MAIN(tst_CA5350Status)
#include "tst_ca5350status.moc"
