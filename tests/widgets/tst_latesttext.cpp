// A display field that takes the newest of a burst of values once the burst
// is over: the rules that read the value see the newest at once, the field
// shows it after the batch, and it lays a text out once per batch whatever
// the number of values.

#include "widgets/LatestText.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

class tst_LatestText : public QObject
{
    Q_OBJECT

private slots:
    void newestAfterTheBatch_data();
    void newestAfterTheBatch();
    void fieldGoneFirst();
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

QTEST_MAIN(tst_LatestText)
#include "tst_latesttext.moc"
