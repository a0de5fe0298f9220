// SPDX-License-Identifier: GPL-3.0-or-later
// A label that asks for the width of an ellipsis whatever its text, shows the
// whole text when it has the room and as much as fits otherwise, and still
// answers the whole text.

#include "widgets/ElidedLabel.h"

#include <QtTest>

class tst_ElidedLabel : public QObject
{
    Q_OBJECT

private slots:
    void cutToItsRoom_data();
    void cutToItsRoom();
};

void tst_ElidedLabel::cutToItsRoom_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("elided");
    const QString longText =
        QStringLiteral("Refused: the server closed the link during the handshake (127.0.0.1:6058)");
    const QString japanese =
        QString::fromUtf8("12:00:00 に接続が切れました、30 秒後に再接続（1 回目）");
    QTest::newRow("short, room to spare") << QStringLiteral("Lost") << 400 << false;
    QTest::newRow("long, room to spare") << longText << 2000 << false;
    QTest::newRow("long, narrow") << longText << 120 << true;
    QTest::newRow("Japanese, narrow") << japanese << 80 << true;
    QTest::newRow("empty") << QString() << 50 << false;
}

void tst_ElidedLabel::cutToItsRoom()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(bool, elided);
    ElidedLabel label;
    const QSize emptyMinimum = label.minimumSizeHint();
    label.setText(text);
    // The minimum width never follows the text.
    QCOMPARE(label.minimumSizeHint().width(), emptyMinimum.width());
    QVERIFY(label.minimumSizeHint().height() > 0);
    QVERIFY(label.sizeHint().width() >= label.fontMetrics().horizontalAdvance(text));

    label.resize(width, label.sizeHint().height());
    QCOMPARE(label.text(), text);
    QCOMPARE(label.isElided(), elided);
    if (elided) {
        QVERIFY(label.shownText().endsWith(QChar(0x2026)));
        QVERIFY(label.fontMetrics().horizontalAdvance(label.shownText()) <= width);
        // What is shown is the start of the text.
        QVERIFY(text.startsWith(label.shownText().chopped(1)));
    } else {
        QCOMPARE(label.shownText(), text);
    }
}

QTEST_MAIN(tst_ElidedLabel)
#include "tst_elidedlabel.moc"
