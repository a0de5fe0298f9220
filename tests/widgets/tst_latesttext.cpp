// SPDX-License-Identifier: GPL-3.0-or-later
// A display field that takes the newest of a burst of values once the burst
// is over: the rules that read the value see the newest at once, the field
// shows it after the batch, and it lays a text out once per batch whatever
// the number of values. With a display interval it is repainted at most once
// per interval, and always ends showing the newest value.

#include "PaintLog.h"
#include "widgets/DisplayClock.h"
#include "widgets/LatestText.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

class tst_LatestText : public QObject
{
    Q_OBJECT

private slots:
    void newestAfterTheBatch_data();
    void newestAfterTheBatch();
    void fieldGoneFirst();
    void burstRepaintedAtMostTwice_data();
    void burstRepaintedAtMostTwice();
    void fieldsRepaintTogether();
    void pictureTakesWhatWaits();
    void clockStopsWhenIdle();
};

void tst_LatestText::newestAfterTheBatch_data()
{
    QTest::addColumn<QStringList>("batches");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("one value") << QStringList{"1000.0"} << QStringList{"1000.0"};
    QTest::newRow("a ramp in one batch")
        << QStringList{"999.8,999.9,1000.0"} << QStringList{"1000.0"};
    QTest::newRow("one value a batch") << QStringList{"1", "2", "3"} << QStringList{"1", "2", "3"};
    QTest::newRow("back to the shown value") << QStringList{"5", "6,5"} << QStringList{"5", "5"};
    QTest::newRow("emptied") << QStringList{"7", ","} << QStringList{"7", ""};
}

void tst_LatestText::newestAfterTheBatch()
{
    QFETCH(QStringList, batches);
    QFETCH(QStringList, shown);
    QLineEdit field;
    field.setText(QStringLiteral("old"));
    LatestText latest(&field, nullptr);
    QStringList changes;
    connect(&field, &QLineEdit::textChanged, this, [&changes](const QString &t) { changes << t; });

    for (int b = 0; b < batches.size(); ++b) {
        const QStringList values = batches.at(b).split(QLatin1Char(','));
        for (const QString &value : values) {
            latest.setText(value);
            QCOMPARE(latest.text(), value);
        }
        // Within the batch the field still shows what it showed.
        QCOMPARE(field.text(), b ? shown.at(b - 1) : QStringLiteral("old"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        QCOMPARE(field.text(), shown.at(b));
        QCOMPARE(latest.text(), shown.at(b));
    }
    // One setText per batch: a change only where the text differs.
    QStringList expected;
    QString before = QStringLiteral("old");
    for (const QString &s : shown) {
        if (s != before)
            expected << s;
        before = s;
    }
    QCOMPARE(changes, expected);
}

void tst_LatestText::fieldGoneFirst()
{
    auto *field = new QLineEdit;
    LatestText latest(field, nullptr);
    latest.setText(QStringLiteral("1"));
    delete field;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    QCOMPARE(latest.text(), QStringLiteral("1"));
}

void tst_LatestText::burstRepaintedAtMostTwice_data()
{
    QTest::addColumn<int>("intervalMs");
    // A long interval, so that a loaded machine cannot stretch the burst
    // over two of them; and the HV panel's own.
    QTest::newRow("long interval") << 2000;
    QTest::newRow("a tenth of a second") << 100;
}

void tst_LatestText::burstRepaintedAtMostTwice()
{
    QFETCH(int, intervalMs);
    QWidget window;
    auto *field = new QLineEdit(&window);
    field->setReadOnly(true);
    (new QVBoxLayout(&window))->addWidget(field);
    LatestText latest(field, nullptr, intervalMs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    latest.setText(QStringLiteral("0"));
    QTRY_COMPARE(field->text(), QStringLiteral("0"));
    PaintLog log(field);

    // 100 values in 20 batches, the event loop running (and free to paint)
    // between them.
    QElapsedTimer burst;
    burst.start();
    constexpr int Values = 100;
    for (int v = 1; v <= Values; ++v) {
        latest.setText(QString::number(v));
        QCOMPARE(latest.text(), QString::number(v));
        if (v % 5 == 0)
            QCoreApplication::processEvents();
    }
    const qint64 tookMs = burst.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(!log.painted.isEmpty() &&
                                 log.painted.last() == QString::number(Values),
                             4 * intervalMs + 5000);
    QCOMPARE(field->text(), QString::number(Values));
    // At most one paint an interval: the one that opens it and the one that
    // closes it, whatever the machine's load did to the burst.
    QVERIFY2(log.painted.size() <= 2 + int(tookMs / intervalMs),
             qPrintable(log.painted.join(QLatin1Char(' '))));
}

// Two fields of one interval: a change within an interval that another field
// opened waits for its end and is then painted with the other fields'
// changes, not at a moment of its own.
void tst_LatestText::fieldsRepaintTogether()
{
    constexpr int IntervalMs = 2000; // longer than a loaded machine can stall
    QWidget window;
    auto *first = new QLineEdit(&window);
    auto *second = new QLineEdit(&window);
    auto *layout = new QVBoxLayout(&window);
    for (QLineEdit *field : {first, second}) {
        // Read-only and without focus, as a value field is: a blinking
        // cursor would repaint the field on its own.
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(field);
    }
    LatestText firstText(first, nullptr, IntervalMs);
    LatestText secondText(second, nullptr, IntervalMs);
    DisplayClock *clock = DisplayClock::shared(IntervalMs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!clock->running());

    PaintLog firstLog(first);
    PaintLog secondLog(second);
    firstText.setText(QStringLiteral("1"));
    QTRY_COMPARE(firstLog.painted, QStringList{"1"}); // opens the interval
    QVERIFY(clock->running());
    secondText.setText(QStringLiteral("2"));
    firstText.setText(QStringLiteral("3"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    // Both texts are taken at once; neither field is repainted yet.
    QCOMPARE(second->text(), QStringLiteral("2"));
    QCOMPARE(first->text(), QStringLiteral("3"));
    QCOMPARE(secondText.text(), QStringLiteral("2"));
    QCoreApplication::processEvents();
    QCOMPARE(secondLog.painted, QStringList{});
    QCOMPARE(firstLog.painted, QStringList{"1"});
    QTRY_COMPARE_WITH_TIMEOUT(secondLog.painted, QStringList{"2"}, 2 * IntervalMs + 5000);
    QTRY_COMPARE(firstLog.painted, (QStringList{"1", "3"}));
}

// A picture of the window taken within an interval shows the field whose
// repaint waits: it is released at once.
void tst_LatestText::pictureTakesWhatWaits()
{
    constexpr int IntervalMs = 60000; // the interval never ends by itself here
    QWidget window;
    auto *first = new QLineEdit(&window);
    auto *second = new QLineEdit(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(first);
    layout->addWidget(second);
    LatestText firstText(first, nullptr, IntervalMs);
    LatestText secondText(second, nullptr, IntervalMs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    firstText.setText(QStringLiteral("1"));
    secondText.setText(QStringLiteral("2"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    QVERIFY(!second->updatesEnabled());
    PaintLog secondLog(second);
    DisplayClock::releaseAllNow();
    QVERIFY(second->updatesEnabled());
    window.grab();
    QCOMPARE(secondLog.painted, QStringList{"2"});
}

// Nothing waiting at the end of an interval stops the clock; a field that goes
// while it waits is passed over.
void tst_LatestText::clockStopsWhenIdle()
{
    DisplayClock clock(50);
    QObject stays;
    auto *goes = new QObject;
    QVERIFY(clock.mayShow(&stays, [] {}));
    int released = 0;
    QVERIFY(!clock.mayShow(&stays, [&released] { ++released; }));
    QVERIFY(!clock.mayShow(goes, [&released] { released += 100; }));
    delete goes;
    QTRY_COMPARE(released, 1);
    QTRY_VERIFY(!clock.running());
    QVERIFY(clock.mayShow(&stays, [] {}));
}

QTEST_MAIN(tst_LatestText)
#include "tst_latesttext.moc"
