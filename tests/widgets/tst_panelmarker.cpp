// SPDX-License-Identifier: GPL-3.0-or-later
// The badge over a panel: it sits in its corner whatever the panel's size,
// leaves the panel's own widgets where they were, and hides without a text.

#include "widgets/PanelMarker.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

class tst_PanelMarker : public QObject
{
    Q_OBJECT

private slots:
    void staysInItsCorner_data();
    void staysInItsCorner();
    void emptyTextHides();
};

void tst_PanelMarker::staysInItsCorner_data()
{
    QTest::addColumn<int>("corner");
    QTest::newRow("top left") << int(Qt::TopLeftCorner);
    QTest::newRow("top right") << int(Qt::TopRightCorner);
    QTest::newRow("bottom left") << int(Qt::BottomLeftCorner);
    QTest::newRow("bottom right") << int(Qt::BottomRightCorner);
}

void tst_PanelMarker::staysInItsCorner()
{
    QFETCH(int, corner);
    QWidget panel;
    auto *layout = new QVBoxLayout(&panel);
    auto *field = new QLineEdit(QStringLiteral("1000.0"), &panel);
    auto *button = new QPushButton(QStringLiteral("Start"), &panel);
    layout->addWidget(field);
    layout->addWidget(button);
    panel.resize(300, 120);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QRect fieldBefore = field->geometry();
    const QRect buttonBefore = button->geometry();

    PanelMarker marker(&panel, Qt::Corner(corner), QStringLiteral("background: orange;"));
    marker.setNote(QStringLiteral("!"), QStringLiteral("hvps.2 not answering since 12:03:05"));
    QVERIFY(marker.isVisible());
    QCOMPARE(marker.toolTip(), QStringLiteral("hvps.2 not answering since 12:03:05"));
    QCOMPARE(field->geometry(), fieldBefore);
    QCOMPARE(button->geometry(), buttonBefore);
    QCOMPARE(field->text(), QStringLiteral("1000.0"));

    for (const QSize size : {QSize(300, 120), QSize(500, 200)}) {
        panel.resize(size);
        const bool right = corner == Qt::TopRightCorner || corner == Qt::BottomRightCorner;
        const bool bottom = corner == Qt::BottomLeftCorner || corner == Qt::BottomRightCorner;
        QTRY_COMPARE(right ? marker.geometry().right() : marker.geometry().left(),
                     right ? size.width() - 1 : 0);
        QCOMPARE(bottom ? marker.geometry().bottom() : marker.geometry().top(),
                 bottom ? size.height() - 1 : 0);
    }
}

void tst_PanelMarker::emptyTextHides()
{
    QWidget panel;
    panel.resize(200, 100);
    panel.show();
    PanelMarker marker(&panel, Qt::TopRightCorner, QString());
    marker.setNote(QStringLiteral("!"), QStringLiteral("note"));
    QVERIFY(marker.isShown());
    marker.setNote(QString(), QStringLiteral("ignored"));
    QVERIFY(!marker.isVisible());
    QVERIFY(!marker.isShown());
    QVERIFY(marker.toolTip().isEmpty());
}

QTEST_MAIN(tst_PanelMarker)
#include "tst_panelmarker.moc"
