// SPDX-License-Identifier: GPL-3.0-or-later
// How much one received line costs the client: normalising and parsing it
// into an SMsg and looking up its word, for the kinds of line a busy station
// sends. Run with -callgrind for counts that do not depend on the machine's
// load.

#include "client/SMsg.h"

#include <QtTest>

class bench_Parse : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void bench_Parse::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("status reply")
        << "ca5350.i0>Brenlow.amp0 @GetStatus CA5350A0B0C0H0I1J0K0M0N1P0R0S0T5W0Y0Z0\n";
    QTest::newRow("voltage event") << "hvps.1>Brenlow.hv0 _ChangedValue 1234.5\n";
    QTest::newRow("untidy line") << "  hvps.1>Brenlow.hv0\t_ChangedStat   L2H \r\n";
    QTest::newRow("unknown word") << "hvps.1>Brenlow.hv0 @SomethingElse 1 2 3 4 5 6 7 8\n";
}

void bench_Parse::parse()
{
    QFETCH(QString, line);
    SMsg msg;
    QBENCHMARK
    {
        msg.Parse(line);
    }
    QVERIFY(msg.kind != SMsg::Malformed);
}

QTEST_GUILESS_MAIN(bench_Parse)
#include "bench_parse.moc"
