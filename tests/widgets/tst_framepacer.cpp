// SPDX-License-Identifier: GPL-3.0-or-later
// The window's paint pacing: a burst of changes within one frame is painted
// once, with the last value, when the frame is over; nothing changed is ever
// left unpainted. The frame here is long (seconds) so that a loaded machine
// cannot let a request slip through as "after the frame".

#include "PaintLog.h"
#include "widgets/FramePacer.h"

#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

namespace {

constexpr int LongFrameMs = 1000;
constexpr int WaitMs = 4 * LongFrameMs;

} // namespace

class tst_FramePacer : public QObject
{
    Q_OBJECT

private slots:
    void burstIsPaintedOnceWithTheLastValue_data();
    void burstIsPaintedOnceWithTheLastValue();
};

void tst_FramePacer::burstIsPaintedOnceWithTheLastValue_data()
{
    QTest::addColumn<int>("changes");
    QTest::newRow("one change") << 1;
    QTest::newRow("a few") << 5;
    QTest::newRow("a flood") << 500;
}

void tst_FramePacer::burstIsPaintedOnceWithTheLastValue()
{
    QFETCH(int, changes);
    QWidget window;
    // A display field, as the panels' value fields are: no blinking cursor
    // asks for paints of its own.
    auto *edit = new QLineEdit(&window);
    edit->setReadOnly(true);
    (new QVBoxLayout(&window))->addWidget(edit);
    auto *pacer = new FramePacer(&window, LongFrameMs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY_WITH_TIMEOUT(!pacer->holding(), WaitMs);
    PaintLog log(edit);

    // Painted at once or at the end of the frame showing the window; either
    // way a frame starts with this paint.
    edit->setText(QStringLiteral("first"));
    QTRY_COMPARE_WITH_TIMEOUT(log.painted, QStringList{QStringLiteral("first")}, WaitMs);
    const int heldBefore = pacer->heldRequests();

    // A burst within that frame: held, then painted once.
    for (int i = 1; i <= changes; ++i)
        edit->setText(QString::number(i));
    QTRY_COMPARE_WITH_TIMEOUT(pacer->heldRequests(), heldBefore + 1, WaitMs);
    QCOMPARE(log.painted.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(log.painted.size(), 2, WaitMs);
    QCOMPARE(log.painted.last(), QString::number(changes));

    // And a change after that is not lost either.
    edit->setText(QStringLiteral("after"));
    QTRY_COMPARE_WITH_TIMEOUT(log.painted.size(), 3, WaitMs);
    QCOMPARE(log.painted.last(), QStringLiteral("after"));
    QCOMPARE(edit->text(), QStringLiteral("after"));
}

QTEST_MAIN(tst_FramePacer)
#include "tst_framepacer.moc"
