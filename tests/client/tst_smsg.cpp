// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing of received lines into SMsg, without any socket.

#include "client/MessageNames.h"
#include "client/SMsg.h"

#include <QtTest>

class tst_SMsg : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void parseResetsEveryField();
    void parseIntoOneRecord();
    void lookUp_data();
    void lookUp();
    void routingTable();
    void isOk_data();
    void isOk();
};

void tst_SMsg::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("fields"); // from fromNode fromSub to toNode toSub message params
    QTest::addColumn<QStringList>("paramList");

    QTest::newRow("reply to a panel")
        << "dev1>Brenlow.amp1 @GetV 12.5" << 0
        << QStringList{"dev1", "dev1", "", "Brenlow.amp1", "Brenlow", "amp1", "@GetV", "12.5"}
        << QStringList{"12.5"};
    QTest::newRow("event split at the last dot")
        << "a.b.c>x _RangeChanged 3" << 1
        << QStringList{"a.b.c", "a.b", "c", "x", "x", "", "_RangeChanged", "3"} << QStringList{"3"};
    QTest::newRow("no blank after the receiver")
        << "a>b" << 2 << QStringList{"a", "a", "", "", "", "", "", "b"} << QStringList{};
    QTest::newRow("blank right after >")
        << "a> b c" << 0 << QStringList{"a", "a", "", "", "", "", "b", "c"} << QStringList{"c"};
    QTest::newRow("no >") << "hello world" << 2
                          << QStringList{"", "", "", "", "", "", "", "hello world"}
                          << QStringList{};
    QTest::newRow("empty line") << "" << 2 << QStringList{"", "", "", "", "", "", "", ""}
                                << QStringList{};
    QTest::newRow("white space only")
        << " \t\r\n"
        << 2 << QStringList{"", "", "", "", "", "", "", ""} << QStringList{};
    QTest::newRow("reply without params")
        << "x>y @IsBusy" << 0 << QStringList{"x", "x", "", "y", "y", "", "@IsBusy", ""}
        << QStringList{};
    QTest::newRow("carriage return, tabs and doubled blanks")
        << "  dev1>Brenlow.hv1\t@GetStat1   ON  now \r\n"
        << 0
        << QStringList{"dev1", "dev1", "", "Brenlow.hv1", "Brenlow", "hv1", "@GetStat1", "ON now"}
        << QStringList{"ON", "now"};
    QTest::newRow("blank before > stays in the sender")
        << "a b>c @GetV 1" << 0 << QStringList{"a b", "a b", "", "c", "c", "", "@GetV", "1"}
        << QStringList{"1"};
    QTest::newRow("trailing dot gives an empty sub")
        << "Brenlow.>dev GetStatus" << 0
        << QStringList{"Brenlow.", "Brenlow", "", "dev", "dev", "", "GetStatus", ""}
        << QStringList{};
    QTest::newRow("non-ASCII blank is text, not white space")
        << QString::fromUtf8("a>b @GetV 1\u00a02") << 0
        << QStringList{"a", "a", "", "b", "b", "", "@GetV", QString::fromUtf8("1\u00a02")}
        << QStringList{QString::fromUtf8("1\u00a02")};
}

void tst_SMsg::parse()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, paramList);

    SMsg msg;
    QCOMPARE(msg.Parse(text), kind);
    QCOMPARE(msg.kind, kind);
    const QStringList got{msg.from,   msg.fromNode, msg.fromSub, msg.to,
                          msg.toNode, msg.toSub,    msg.message, msg.params};
    QCOMPARE(got, fields);
    QCOMPARE(msg.paramList, paramList);
}

void tst_SMsg::parseResetsEveryField()
{
    SMsg msg;
    msg.Parse(QStringLiteral("dev1.2>Brenlow.amp1 @GetStatus CA5350 A1"));
    QCOMPARE(msg.paramList.size(), 2);
    msg.Parse(QStringLiteral("x>y @IsBusy"));
    QVERIFY(msg.params.isEmpty());
    QVERIFY(msg.paramList.isEmpty());
    QVERIFY(msg.fromSub.isEmpty());
    QVERIFY(msg.toSub.isEmpty());
    QCOMPARE(msg.line, QStringLiteral("x>y @IsBusy"));
    msg.Parse(QStringLiteral("garbage"));
    QVERIFY(msg.message.isEmpty());
    QCOMPARE(msg.msgId, 24);
}

namespace {

QStringList fieldsOf(const SMsg &msg)
{
    return {msg.from,
            msg.fromNode,
            msg.fromSub,
            msg.to,
            msg.toNode,
            msg.toSub,
            msg.message,
            msg.params,
            msg.line,
            QString::number(msg.kind),
            QString::number(msg.msgId),
            msg.paramList.join(QLatin1Char('|')) + QString::number(msg.paramList.size())};
}

} // namespace

// The client parses every line into the same record, which reuses the
// buffers of the previous line's parts. Whatever came before, the record
// holds what a fresh one would, and a copy a listener kept of the previous
// line is left as it was.
void tst_SMsg::parseIntoOneRecord()
{
    const QStringList lines{
        "dev1>Brenlow.amp1 @GetV 12.5",
        "a.b.c>x _RangeChanged 3",
        "hvps.12>Brenlow.HV1 _ChangedValue 1000.5",
        "a>b",
        "hello world",
        "",
        "x>y @IsBusy",
        "  dev1>Brenlow.hv1\t@GetStat1   ON  now \r\n",
        "dev1.2>Brenlow.amp1 @GetStatus CA5350 A1 B0 C1",
        "Brenlow.>dev GetStatus",
        QString::fromUtf8("a>b @GetV 1\u00a02 3"),
        "n.sub>m.s _ChangedStat OFF",
    };
    for (const QString &before : lines) {
        for (const QString &after : lines) {
            SMsg fresh;
            fresh.Parse(after);
            SMsg freshBefore;
            freshBefore.Parse(before);

            SMsg reused;
            reused.Parse(before);
            const SMsg kept = reused;
            const QString keptWord = reused.paramList.value(0);
            reused.Parse(after);
            QCOMPARE(fieldsOf(reused), fieldsOf(fresh));
            QCOMPARE(fieldsOf(kept), fieldsOf(freshBefore));
            QCOMPARE(keptWord, freshBefore.paramList.value(0));
            // And once more with nothing kept, so that the buffers are reused.
            reused.Parse(before);
            reused.Parse(after);
            QCOMPARE(fieldsOf(reused), fieldsOf(fresh));
        }
    }
}

void tst_SMsg::lookUp_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("msgId");

    QTest::newRow("first reply") << "a>b @IsBusy" << 0 << 0;
    QTest::newRow("last reply") << "a>b @IsControllable 1" << 0 << 11;
    QTest::newRow("first event") << "a>b _ChangedIsBusy 1" << 1 << 12;
    QTest::newRow("last event") << "a>b _ChangedRampRate 5" << 1 << 23;
    QTest::newRow("misspelling kept") << "a>b @GetCurrentSurpressionValue 1" << 0 << 3;
    QTest::newRow("correct spelling unknown") << "a>b @GetCurrentSuppressionValue 1" << 0 << 24;
    QTest::newRow("unknown reply") << "a>b @Hello 1" << 0 << 24;
    QTest::newRow("unknown event") << "a>b _Hello 1" << 1 << 24;
    QTest::newRow("case matters") << "a>b @getstatus" << 0 << 24;
    QTest::newRow("request word") << "a>b GetStatus" << 0 << 24;
    QTest::newRow("error status reply") << "a>b @GetErrorStatus CA5350" << 0 << 25;
    QTest::newRow("overload reply") << "a>b @GetSRQ 1" << 0 << 26;
    QTest::newRow("overload event") << "a>b _SRQChanged 1" << 1 << 27;
}

void tst_SMsg::lookUp()
{
    QFETCH(QString, line);
    QFETCH(int, kind);
    QFETCH(int, msgId);
    SMsg msg;
    QCOMPARE(msg.Parse(line), kind);
    QCOMPARE(msg.msgId, msgId);
}

void tst_SMsg::routingTable()
{
    // The original words keep the ids 0 to 23 and the end row 24, whatever
    // rows are added after it.
    QCOMPARE(MessageNames::EndId, 24);
    QCOMPARE(SMsg().msgId, MessageNames::EndId);

    int replies = 0;
    int events = 0;
    for (int id = 0; id < MessageNames::IdCount; ++id) {
        const QString word = MessageNames::word(id);
        if (id == MessageNames::EndId) {
            QVERIFY(word.isEmpty());
            QVERIFY(!MessageNames::isReplyId(id));
            QVERIFY(!MessageNames::isEventId(id));
            QVERIFY(!MessageNames::signalFor(id));
            continue;
        }
        // Each word finds its own row, and its first character tells the
        // kind the routing checks.
        QCOMPARE(MessageNames::lookUp(word), id);
        QCOMPARE(MessageNames::isReplyId(id), word.startsWith(QLatin1Char('@')));
        QCOMPARE(MessageNames::isEventId(id), word.startsWith(QLatin1Char('_')));
        QVERIFY(MessageNames::signalFor(id));
        replies += MessageNames::isReplyId(id) ? 1 : 0;
        events += MessageNames::isEventId(id) ? 1 : 0;
        // Two rows never lead to the same signal.
        for (int other = 0; other < id; ++other)
            QVERIFY2(MessageNames::signalFor(other) != MessageNames::signalFor(id),
                     qPrintable(word));
    }
    QCOMPARE(replies, 14);
    QCOMPARE(events, 13);

    for (const int outside : {-1, MessageNames::IdCount, MessageNames::IdCount + 1}) {
        QVERIFY(MessageNames::word(outside).isEmpty());
        QVERIFY(!MessageNames::isReplyId(outside));
        QVERIFY(!MessageNames::isEventId(outside));
        QVERIFY(!MessageNames::signalFor(outside));
    }
}

void tst_SMsg::isOk_data()
{
    QTest::addColumn<QString>("params");
    QTest::addColumn<bool>("ok");
    QTest::newRow("Ok: and text") << "Ok: done" << true;
    QTest::newRow("Ok: alone") << "Ok:" << true;
    QTest::newRow("OK") << "OK" << true;
    QTest::newRow("OKAY") << "OKAY" << true;
    QTest::newRow("Ok without colon") << "Ok done" << false;
    QTest::newRow("lower case") << "ok: done" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("later in the text") << "not OK" << false;
}

void tst_SMsg::isOk()
{
    QFETCH(QString, params);
    QFETCH(bool, ok);
    SMsg msg;
    msg.params = params;
    QCOMPARE(msg.IsOk(), ok);
}

QTEST_GUILESS_MAIN(tst_SMsg)
#include "tst_smsg.moc"
