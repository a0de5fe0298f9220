// SPDX-License-Identifier: GPL-3.0-or-later
// A display field that takes the newest of a burst of values once the burst
// is over: the rules that read the value see the newest at once, the field
// shows it after the batch, and it lays a text out once per batch whatever
// the number of values. With a display interval it is repainted at most once
// per interval, and always ends showing the newest value.

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
};

namespace {

// Counts the paints of one field and keeps the text each one showed.
class PaintLog : public QObject
{
public:
    explicit PaintLog(QLineEdit *watched) : edit(watched) { edit->installEventFilter(this); }
    QStringList painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == edit && event->type() == QEvent::Paint)
            painted << edit->text();
        return false;
    }

private:
    QLineEdit *edit;
};

} // namespace

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

QTEST_MAIN(tst_LatestText)
#include "tst_latesttext.moc"
