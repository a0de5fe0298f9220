// SPDX-License-Identifier: GPL-3.0-or-later
// The history kept in memory: samples in order, the step from full
// resolution to ten-second buckets and their minimum, maximum and last,
// the bound under a flood, and the timeline rows the recorder makes from the
// client's routed lines.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/Tesra.h"
#include "client/Values.h"
#include "devices/AmplifierDevice.h"
#include "devices/HvDevice.h"
#include "history/AlarmRecord.h"
#include "history/History.h"
#include "history/Recorder.h"
#include "station/Station.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;
using Quantity = History::Quantity;
using Kind = History::EventKind;

Q_DECLARE_METATYPE(History::EventKind)

namespace {
// A fixed start, so that bucket edges fall where the tables say.
constexpr qint64 T0 = 1'800'000'000'000;
} // namespace

class tst_History : public QObject
{
    Q_OBJECT

private slots:
    void samplesKeptInOrder();
    void boundaryFoldsIntoBuckets_data();
    void boundaryFoldsIntoBuckets();
    void dayOldBucketsGo();
    void floodStaysBounded();
    void keptTexts_data();
    void keptTexts();
    void rowsMergeSeriesInTimeOrder();
    void timelineBounded();
    void namesRoundTrip();
    void numbersReadAsEverywhere_data();
    void numbersReadAsEverywhere();

    void recorderRows_data();
    void recorderRows();
    void recorderLinkEvents();
    void recorderAlarmEvents_data();
    void recorderAlarmEvents();
};

void tst_History::samplesKeptInOrder()
{
    History h;
    h.add("HV1", Quantity::Voltage, T0, "10");
    h.add("HV1", Quantity::Voltage, T0 + 100, "20");
    // A clock set back: the sample stays behind the newest one.
    h.add("HV1", Quantity::Voltage, T0 + 50, "30");
    const History::Series *s = h.series("HV1", Quantity::Voltage);
    QVERIFY(s);
    QCOMPARE(int(s->samples().size()), 3);
    QCOMPARE(s->samples().at(0).text.toString(), QString("10"));
    QCOMPARE(s->samples().at(2).text.toString(), QString("30"));
    QCOMPARE(s->samples().at(2).t, T0 + 100);
    QCOMPARE(s->samples().at(1).number, 20.0);
    QVERIFY(!h.series("HV1", Quantity::Status));
    QCOMPARE(h.newest(), T0 + 100);
}

void tst_History::boundaryFoldsIntoBuckets_data()
{
    QTest::addColumn<QList<qint64>>("offsets"); // ms after T0
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<qint64>("now");           // ms after T0, of a last sample "0"
    QTest::addColumn<int>("fullCount");        // the last sample included
    QTest::addColumn<QList<double>>("bucket"); // min, max, last of the first bucket
    QTest::addColumn<int>("bucketCount");

    // Exactly ten minutes old stays at full resolution; a millisecond more
    // goes into its bucket.
    QTest::newRow("just inside") << QList<qint64>{0} << QStringList{"5"} << History::FullSpanMs << 2
                                 << QList<double>{} << 0;
    QTest::newRow("just outside") << QList<qint64>{0} << QStringList{"5"} << History::FullSpanMs + 1
                                  << 1 << QList<double>{5, 5, 5} << 1;
    QTest::newRow("one bucket") << QList<qint64>{0, 1000, 2000, 9999}
                                << QStringList{"3", "-7", "12", "4"} << 2 * History::FullSpanMs << 1
                                << QList<double>{-7, 12, 4} << 1;
    QTest::newRow("bucket edge") << QList<qint64>{9999, 10000} << QStringList{"1", "2"}
                                 << 2 * History::FullSpanMs << 1 << QList<double>{1, 1, 1} << 2;
    QTest::newRow("text not a number")
        << QList<qint64>{0, 10} << QStringList{"8", "high"} << 2 * History::FullSpanMs << 1
        << QList<double>{0, 8, 0} << 1;
}

void tst_History::boundaryFoldsIntoBuckets()
{
    QFETCH(QList<qint64>, offsets);
    QFETCH(QStringList, values);
    QFETCH(qint64, now);
    QFETCH(int, fullCount);
    QFETCH(QList<double>, bucket);
    QFETCH(int, bucketCount);
    History h;
    for (int i = 0; i < offsets.size(); ++i)
        h.add("HV1", Quantity::Voltage, T0 + offsets.at(i), values.at(i));
    h.add("HV1", Quantity::Voltage, T0 + now, "0");
    const History::Series *s = h.series("HV1", Quantity::Voltage);
    QCOMPARE(int(s->samples().size()), fullCount);
    QCOMPARE(int(s->buckets().size()), bucketCount);
    if (!bucket.isEmpty()) {
        const History::Bucket &b = s->buckets().front();
        QCOMPARE(b.start % History::BucketMs, qint64(0));
        QCOMPARE(b.min, bucket.at(0));
        QCOMPARE(b.max, bucket.at(1));
        QCOMPARE(b.last, bucket.at(2));
        QCOMPARE(b.lastText.toString(), values.at(values.size() - (bucketCount == 2 ? 2 : 1)));
    }
}

void tst_History::dayOldBucketsGo()
{
    History h;
    h.add("HV1", Quantity::Voltage, T0, "1");
    h.add("HV1", Quantity::Voltage, T0 + History::KeepMs - History::BucketMs, "2");
    QCOMPARE(int(h.series("HV1", Quantity::Voltage)->buckets().size()), 1);
    h.add("HV1", Quantity::Voltage, T0 + History::KeepMs + History::FullSpanMs, "3");
    const History::Series *s = h.series("HV1", Quantity::Voltage);
    QCOMPARE(int(s->buckets().size()), 1);
    QCOMPARE(s->buckets().front().lastText.toString(), QString("2"));
}

void tst_History::floodStaysBounded()
{
    // A thousand values a second for a simulated day and a half.
    History h;
    const qint64 step = 1;
    const qint64 end = History::KeepMs + History::KeepMs / 2;
    for (qint64 t = 0; t < end; t += step * 97)
        h.add("HV1", Quantity::Voltage, T0 + t, QString::number(t % 3000));
    const History::Series *s = h.series("HV1", Quantity::Voltage);
    QVERIFY(int(s->samples().size()) <= History::MaxFullSamples);
    QVERIFY(int(s->buckets().size()) <= int(History::KeepMs / History::BucketMs) + 1);
    QVERIFY(s->buckets().front().start >= T0 + end - History::KeepMs - History::BucketMs);
    // The buckets stay in order and end where the full samples begin.
    for (size_t i = 1; i < s->buckets().size(); ++i)
        QVERIFY(s->buckets().at(i - 1).start < s->buckets().at(i).start);
    QVERIFY(s->buckets().back().start <= s->samples().front().t);
}

// A kept text never holds on to the buffer it came from, unless it is too
// long to keep in place; a long text that repeats shares one copy.
void tst_History::keptTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString("");
    QTest::newRow("status") << QString("ON");
    QTest::newRow("voltage") << QString("-1500.25");
    QTest::newRow("longest in place") << QString(History::Text::InPlace, QLatin1Char('9'));
    QTest::newRow("one too long") << QString(History::Text::InPlace + 1, QLatin1Char('9'));
    QTest::newRow("japanese") << QString::fromUtf8("\xe9\x81\xae\xe6\x96\xad");
    QTest::newRow("long japanese")
        << QString::fromUtf8("\xe9\x81\xae\xe6\x96\xad").repeated(History::Text::InPlace);
}

void tst_History::keptTexts()
{
    QFETCH(QString, text);
    const bool inPlace = text.size() <= History::Text::InPlace;
    History h;
    for (int i = 0; i < 3; ++i) {
        // The client's buffer, as a routed line leaves it.
        QString received = text;
        received.detach();
        h.add("HV1", Quantity::Status, T0 + i, received);
        // A long text is kept the first time; its repeats share that copy.
        // (An empty text has no buffer to hold on to.)
        if (!text.isEmpty())
            QCOMPARE(received.isDetached(), inPlace || i > 0);
    }
    const History::Series *s = h.series("HV1", Quantity::Status);
    for (const History::Sample &sample : s->samples()) {
        QCOMPARE(sample.text.view(), QStringView(text));
        QCOMPARE(sample.text.toString(), text);
    }
    QCOMPARE(s->samples().front().text.sharedData(), s->samples().back().text.sharedData());
    QCOMPARE(s->samples().front().text.sharedData() != nullptr, !inPlace);
    QCOMPARE(h.rows(T0, T0).value(0).value, text);
}

void tst_History::rowsMergeSeriesInTimeOrder()
{
    History h;
    h.setNode("HV1", "hvps.1");
    h.add("HV1", Quantity::Voltage, T0 + 10, "1");
    h.add("HV1", Quantity::Status, T0 + 5, "ON");
    h.add("AMP1", Quantity::Range, T0 + 7, "1e-6");
    h.add("HV1", Quantity::Voltage, T0 + 30, "2");
    const QVector<History::Row> rows = h.rows(T0, T0 + 20);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).value, QString("ON"));
    QCOMPARE(rows.at(0).node, QString("hvps.1"));
    QCOMPARE(rows.at(1).module, QString("AMP1"));
    QCOMPARE(rows.at(2).quantity, Quantity::Voltage);
    QCOMPARE(h.modules(), (QVector<QString>{"AMP1", "HV1"}));
}

void tst_History::timelineBounded()
{
    History h;
    for (int i = 0; i < History::MaxEvents + 5; ++i)
        h.addEvent({T0 + i, "HV1", "hvps", Kind::Status, QString::number(i)});
    QCOMPARE(int(h.events().size()), History::MaxEvents);
    QCOMPARE(h.events().front().text, QString("5"));
    QCOMPARE(h.events().back().text, QString::number(History::MaxEvents + 4));
}

void tst_History::namesRoundTrip()
{
    for (Quantity q : {Quantity::Voltage, Quantity::Status, Quantity::Range, Quantity::Overload}) {
        Quantity back = Quantity::Voltage;
        QVERIFY(History::quantityFromName(History::quantityName(q), back));
        QCOMPARE(back, q);
    }
    for (int k = int(Kind::Status); k <= int(Kind::AlarmUnshelved); ++k) {
        Kind back = Kind::Status;
        QVERIFY(!History::kindName(Kind(k)).isEmpty());
        QVERIFY(History::kindFromName(History::kindName(Kind(k)), back));
        QCOMPARE(back, Kind(k));
    }
    Kind unused;
    QVERIFY(!History::kindFromName("no such kind", unused));
}

// The history reads the devices' numbers faster than the program's own rule,
// and must read every text the same.
void tst_History::numbersReadAsEverywhere_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text :
         {"1500", "-800.25", "1e-6",  "1E+3", "+5", "5.", ".5",  "-0",   " 7 ", "1e999", "-1e999",
          "nan",  "inf",     "12abc", "",     "e5", "1e", "--1", "0x10", "1,5", "3000V", "1e-400"})
        QTest::newRow(text) << QString::fromLatin1(text);
    QTest::newRow("full-width digit") << QString::fromUtf8("１");
}

void tst_History::numbersReadAsEverywhere()
{
    QFETCH(QString, text);
    QCOMPARE(History::toNumber(Quantity::Voltage, text), Values::toNumber(text));
    QCOMPARE(History::toNumber(Quantity::Range, text), Values::toNumber(text));
}

// The lines of one module, routed through a real client, and the timeline
// rows they leave: only a change of status or range makes one, an overload
// one when it is set and one when it is cleared.
void tst_History::recorderRows_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<Kind>>("kinds");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("module");
    QTest::addColumn<int>("samples");

    QTest::newRow("status changes")
        << QStringList{"hvps.1>Brenlow.hv1 @GetStat1 ON", "hvps.1>Brenlow.hv1 _ChangedStat ON",
                       "hvps.1>Brenlow.hv1 _ChangedStat  H2L ",
                       "hvps.1>Brenlow.hv1 _ChangedStat OFF"}
        << QList<Kind>{Kind::Status, Kind::Status, Kind::Status} << QStringList{"ON", "H2L", "OFF"}
        << "HV1" << 4;
    QTest::newRow("voltage makes no row")
        << QStringList{"hvps.1>Brenlow.hv1 @GetV 10", "hvps.1>Brenlow.hv1 _ChangedValue 20"}
        << QList<Kind>{} << QStringList{} << "HV1" << 2;
    QTest::newRow("another panel's reply") << QStringList{"hvps.1>Brenlow.hv2 @GetV 10"}
                                           << QList<Kind>{} << QStringList{} << "HV1" << 0;
    QTest::newRow("overload set and cleared")
        << QStringList{"dev1>Brenlow.amp1 @GetSRQ 0", "dev1>Brenlow _SRQChanged 1",
                       "dev1>Brenlow _SRQChanged 1", "dev1>Brenlow _SRQChanged 0"}
        << QList<Kind>{Kind::OverloadSet, Kind::OverloadCleared} << QStringList{"1", "0"} << "AMP1"
        << 4;
    QTest::newRow("range changes")
        << QStringList{"dev1>Brenlow.amp1 @GetRange 1e-6", "dev1>Brenlow _RangeChanged 1e-6",
                       "dev1>Brenlow _RangeChanged 1e-7", "other>Brenlow _RangeChanged 1e-3"}
        << QList<Kind>{Kind::Range, Kind::Range} << QStringList{"1e-6", "1e-7"} << "AMP1" << 3;
}

void tst_History::recorderRows()
{
    QFETCH(QStringList, lines);
    QFETCH(QList<Kind>, kinds);
    QFETCH(QStringList, texts);
    QFETCH(QString, module);
    QFETCH(int, samples);

    QTemporaryDir dir;
    FakeTesraServer server;
    QVERIFY(server.listen());
    // The station's two modules as devices that take no messages themselves.
    HvDevice hv;
    hv.setSection("HV1");
    hv.address() = {"hv1", "hvps", "1"};
    AmplifierDevice amp;
    amp.setSection("AMP1");
    amp.address() = {"amp1", "dev1", ""};
    auto client = makeClient(server, dir);
    History history;
    Recorder recorder(history);
    recorder.follow(client.get(), {&hv, &amp});
    QVERIFY(connectClient(*client));
    QVERIFY(deliver(server, *client, lines));

    QCOMPARE(history.node("HV1"), QString("hvps.1"));
    int count = 0;
    for (Quantity q : {Quantity::Voltage, Quantity::Status, Quantity::Range, Quantity::Overload}) {
        if (const History::Series *s = history.series(module, q))
            count += int(s->samples().size());
    }
    QCOMPARE(count, samples);
    QList<Kind> gotKinds;
    QStringList gotTexts;
    for (const History::Event &e : history.events()) {
        if (e.module.isEmpty())
            continue; // the link's own rows
        QCOMPARE(e.module, module);
        gotKinds << e.kind;
        gotTexts << e.text;
    }
    QCOMPARE(gotKinds, kinds);
    QCOMPARE(gotTexts, texts);
}

void tst_History::recorderLinkEvents()
{
    QTemporaryDir dir;
    FakeTesraServer server;
    QVERIFY(server.listen());
    auto client = makeClient(server, dir);
    History history;
    Recorder recorder(history);
    recorder.follow(client.get(), {});
    QVERIFY(connectClient(*client));
    server.dropClient();
    QTRY_COMPARE(client->linkState(), Tesra::LinkState::Lost);
    recorder.recordEvent("HV9", "hvps.9", Kind::Silent, "no reply");

    QList<Kind> kinds;
    for (const History::Event &e : history.events())
        kinds << e.kind;
    QCOMPARE(kinds, (QList<Kind>{Kind::LinkReady, Kind::LinkLost, Kind::Silent}));
    QCOMPARE(history.events().front().text, QString("127.0.0.1:%1").arg(server.port()));
    QCOMPARE(history.events().back().module, QString("HV9"));
}

void tst_History::recorderAlarmEvents_data()
{
    QTest::addColumn<QString>("transition");
    QTest::addColumn<QString>("module");
    QTest::addColumn<bool>("recorded");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("text");

    QTest::newRow("raised") << "raised"
                            << "HV1" << true << "alarm-raised"
                            << "hvps.1"
                            << "hv-fault";
    QTest::newRow("cleared") << "cleared"
                             << "HV1" << true << "alarm-cleared"
                             << "hvps.1"
                             << "hv-fault";
    QTest::newRow("acknowledged, and by whom") << "acknowledged"
                                               << "HV1" << true << "alarm-acknowledged"
                                               << "hvps.1"
                                               << "hv-fault by ume@beamline";
    QTest::newRow("shelved") << "shelved"
                             << "HV1" << true << "alarm-shelved"
                             << "hvps.1"
                             << "hv-fault";
    QTest::newRow("unshelved") << "unshelved"
                               << "HV1" << true << "alarm-unshelved"
                               << "hvps.1"
                               << "hv-fault";
    QTest::newRow("the station's link alarm has no module")
        << "raised" << QString() << true << "alarm-raised" << QString() << "hv-fault";
    QTest::newRow("no such transition") << "forgotten"
                                        << "HV1" << false << QString() << QString() << QString();
}

void tst_History::recorderAlarmEvents()
{
    QFETCH(QString, transition);
    QFETCH(QString, module);
    QFETCH(bool, recorded);
    History history;
    history.setNode("HV1", "hvps.1");
    Recorder recorder(history);
    AlarmRecord record;
    record.module = module;
    record.condition = QStringLiteral("hv-fault");
    record.severity = QStringLiteral("major");
    record.value = QStringLiteral("TRIP");
    record.ackedBy = QStringLiteral("ume@beamline");
    QCOMPARE(recorder.recordAlarm(transition, record), recorded);
    QCOMPARE(history.events().size(), size_t(recorded ? 1 : 0));
    if (!recorded)
        return;
    const History::Event &event = history.events().front();
    QTEST(History::kindName(event.kind), "kind");
    QCOMPARE(event.module, module);
    QTEST(event.node, "node");
    QTEST(event.text, "text");
}

QTEST_MAIN(tst_History)
#include "tst_history.moc"
