// SPDX-License-Identifier: GPL-3.0-or-later
// The exported history read back by a small RFC 4180 reader: commas, quotes,
// line breaks and Japanese text in names come back as they went in.

#include "history/History.h"
#include "history/HistoryCsv.h"

#include <QDateTime>
#include <QtTest>

namespace {

// Reads RFC 4180 text: fields separated by commas, records by CR LF, a
// quoted field may hold commas, line breaks and doubled quotes. False on
// anything else (a bare quote, a lone line feed, a missing final CR LF).
bool readCsv(const QString &text, QList<QStringList> &records)
{
    QStringList record;
    QString fieldText;
    int i = 0;
    const int n = text.size();
    while (i < n) {
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            for (;;) {
                if (i >= n)
                    return false;
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        fieldText += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                fieldText += text.at(i++);
            }
        } else {
            while (i < n && text.at(i) != QLatin1Char(',') && text.at(i) != QLatin1Char('\r')) {
                if (text.at(i) == QLatin1Char('"') || text.at(i) == QLatin1Char('\n'))
                    return false;
                fieldText += text.at(i++);
            }
        }
        if (i >= n)
            return false;
        record << fieldText;
        fieldText.clear();
        if (text.at(i) == QLatin1Char(',')) {
            ++i;
            continue;
        }
        if (text.mid(i, 2) != QLatin1String("\r\n"))
            return false;
        i += 2;
        records << record;
        record.clear();
    }
    return record.isEmpty();
}

} // namespace

class tst_HistoryCsv : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void exportsTheSpanInTimeOrder();
    void formulaCells_data();
    void formulaCells();
};

void tst_HistoryCsv::roundTrip_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "HV1"
                           << "hvps.1"
                           << "1500";
    QTest::newRow("comma") << "HV 1, left"
                           << "hvps,1"
                           << "1,5";
    QTest::newRow("quotes") << "the \"main\" HV"
                            << "\""
                            << "\"\"";
    QTest::newRow("line breaks") << "two\r\nlines"
                                 << "a\nb"
                                 << "c\rd";
    QTest::newRow("Japanese") << QString::fromUtf8("高圧電源「一号」, 左")
                              << QString::fromUtf8("電源.1") << QString::fromUtf8("オン");
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void tst_HistoryCsv::roundTrip()
{
    QFETCH(QString, module);
    QFETCH(QString, node);
    QFETCH(QString, value);
    const qint64 t = QDateTime(QDate(2026, 12, 9), QTime(1, 2, 3, 45), Qt::UTC).toMSecsSinceEpoch();
    const QVector<History::Row> rows{{t, module, node, History::Quantity::Status, value},
                                     {t + 1, "HV2", "hvps.2", History::Quantity::Voltage, "7"}};
    const QByteArray bytes = HistoryCsv::write(rows);
    // UTF-8 without a byte order mark.
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QList<QStringList> records;
    QVERIFY2(readCsv(QString::fromUtf8(bytes), records), bytes.constData());
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(0), (QStringList{"time", "module", "node", "quantity", "value"}));
    QCOMPARE(records.at(1),
             (QStringList{"2026-12-09T01:02:03.045Z", module, node, "status", value}));
    QCOMPARE(records.at(2),
             (QStringList{"2026-12-09T01:02:03.046Z", "HV2", "hvps.2", "voltage", "7"}));
    QCOMPARE(QDateTime::fromString(records.at(1).at(0), Qt::ISODateWithMs).toMSecsSinceEpoch(), t);
}

void tst_HistoryCsv::exportsTheSpanInTimeOrder()
{
    History h;
    h.setNode("HV1", "hvps.1");
    const qint64 t0 = 1'800'000'000'000;
    for (int i = 0; i < 10; ++i)
        h.add("HV1", History::Quantity::Voltage, t0 + i * 1000, QString::number(i * 100));
    h.add("HV1", History::Quantity::Status, t0 + 4500, "H2L");
    QList<QStringList> records;
    QVERIFY(readCsv(QString::fromUtf8(HistoryCsv::write(h.rows(t0 + 3000, t0 + 6000))), records));
    QStringList values;
    for (int i = 1; i < records.size(); ++i)
        values << records.at(i).at(4);
    QCOMPARE(values, (QStringList{"300", "400", "H2L", "500", "600"}));
}

// Cells a spreadsheet would evaluate come back as text behind an apostrophe,
// in every text column; numbers as the devices write them stay numbers.
void tst_HistoryCsv::formulaCells_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cell");
    QTest::newRow("formula") << "=1+1"
                             << "'=1+1";
    QTest::newRow("formula with a comma") << "=HYPERLINK(\"http://x\",\"y\")"
                                          << "'=HYPERLINK(\"http://x\",\"y\")";
    QTest::newRow("negative integer") << "-500"
                                      << "-500";
    QTest::newRow("negative exponent") << "-1e-5"
                                       << "-1e-5";
    QTest::newRow("device's exponent form") << "-5e-10"
                                            << "-5e-10";
    QTest::newRow("signed fraction") << "+.5"
                                     << "+.5";
    QTest::newRow("plus word") << "+x"
                               << "'+x";
    QTest::newRow("minus arithmetic") << "-1+1"
                                      << "'-1+1";
    QTest::newRow("minus alone") << "-"
                                 << "'-";
    QTest::newRow("minus infinity") << "-inf"
                                    << "'-inf";
    QTest::newRow("at") << "@x"
                        << "'@x";
    QTest::newRow("tab") << "\t=1"
                         << "'\t=1";
    QTest::newRow("carriage return") << "\r=1"
                                     << "'\r=1";
    QTest::newRow("status word") << "ON"
                                 << "ON";
    QTest::newRow("minus inside") << "1-1"
                                  << "1-1";
    QTest::newRow("apostrophe already") << "'=1"
                                        << "'=1";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_HistoryCsv::formulaCells()
{
    QFETCH(QString, text);
    QFETCH(QString, cell);
    const qint64 t = QDateTime(QDate(2026, 12, 9), QTime(1, 2, 3), Qt::UTC).toMSecsSinceEpoch();
    const QByteArray bytes = HistoryCsv::write({{t, text, text, History::Quantity::Status, text}});
    QList<QStringList> records;
    QVERIFY2(readCsv(QString::fromUtf8(bytes), records), bytes.constData());
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(1), (QStringList{"2026-12-09T01:02:03.000Z", cell, cell, "status", cell}));
}

QTEST_MAIN(tst_HistoryCsv)
#include "tst_historycsv.moc"
