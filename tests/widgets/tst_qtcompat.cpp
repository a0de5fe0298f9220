// SPDX-License-Identifier: GPL-3.0-or-later
// The end-of-edit report the panels send their commands on, checked alike on
// Qt 5 and Qt 6 against what Qt 5.15's editingFinished does: a plain line
// edit and the line edit of an editable combo box, ended with Return and by
// leaving the field, after typing, after a text set by the program, and
// without either.

#include "widgets/QtCompat.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

class tst_QtCompat : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void endsOfEdit_data();
    void endsOfEdit();
    void oneReporterPerEdit();

private:
    std::unique_ptr<QWidget> window;
    QLineEdit *plain = nullptr;
    QComboBox *box = nullptr;
    QPushButton *elsewhere = nullptr;
};

void tst_QtCompat::init()
{
    window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(window.get());
    plain = new QLineEdit(window.get());
    box = new QComboBox(window.get());
    box->setEditable(true);
    box->addItems({QStringLiteral("1000"), QStringLiteral("1500")});
    elsewhere = new QPushButton(QStringLiteral("elsewhere"), window.get());
    layout->addWidget(plain);
    layout->addWidget(box);
    layout->addWidget(elsewhere);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void tst_QtCompat::cleanup()
{
    window.reset();
}

void tst_QtCompat::endsOfEdit_data()
{
    QTest::addColumn<bool>("inBox");
    QTest::addColumn<QString>("steps"); // t: type, s: set by the program, r: Return, l: leave
    QTest::addColumn<int>("reports");

    for (const bool inBox : {false, true}) {
        const char *where = inBox ? "combo box" : "line edit";
        QTest::addRow("%s: typing alone", where) << inBox << "t" << 0;
        QTest::addRow("%s: Return", where) << inBox << "tr" << 1;
        QTest::addRow("%s: Return twice", where) << inBox << "trr" << 2;
        QTest::addRow("%s: leaving after an edit", where) << inBox << "tl" << 1;
        QTest::addRow("%s: leaving twice", where) << inBox << "tll" << 1;
        QTest::addRow("%s: Return, then leaving", where) << inBox << "trl" << 2;
        QTest::addRow("%s: Return, leaving twice", where) << inBox << "trll" << 2;
        // A combo box's line edit holds the text of its first item.
        QTest::addRow("%s: leaving unedited", where) << inBox << "l" << (inBox ? 1 : 0);
        QTest::addRow("%s: set, leaving", where) << inBox << "sl" << 1;
        QTest::addRow("%s: Return, set, leaving", where) << inBox << "trsl" << 2;
        QTest::addRow("%s: leaving, set, leaving", where) << inBox << "tlsl" << 2;
        QTest::addRow("%s: Return unedited", where) << inBox << "r" << 1;
    }
}

void tst_QtCompat::endsOfEdit()
{
    QFETCH(bool, inBox);
    QFETCH(QString, steps);
    QFETCH(int, reports);

    QLineEdit *edit = inBox ? box->lineEdit() : plain;
    QWidget *field = inBox ? static_cast<QWidget *>(box) : plain;
    QSignalSpy spy(QtCompat::editEnd(edit), &QtCompat::EditEnd::finished);
    for (const QChar step : steps) {
        if (!field->hasFocus()) {
            field->setFocus();
            QTRY_VERIFY(field->hasFocus());
        }
        if (step == QLatin1Char('t')) {
            QTest::keyClicks(field, QStringLiteral("25"));
        } else if (step == QLatin1Char('s')) {
            edit->setText(QStringLiteral("77"));
        } else if (step == QLatin1Char('r')) {
            QTest::keyClick(field, Qt::Key_Return);
        } else {
            elsewhere->setFocus();
            QTRY_VERIFY(elsewhere->hasFocus());
        }
    }
    QCOMPARE(spy.count(), reports);
}

void tst_QtCompat::oneReporterPerEdit()
{
    QtCompat::EditEnd *first = QtCompat::editEnd(plain);
    QCOMPARE(QtCompat::editEnd(plain), first);
    QVERIFY(QtCompat::editEnd(box->lineEdit()) != first);
    QCOMPARE(first->parent(), plain);
}

QTEST_MAIN(tst_QtCompat)
#include "tst_qtcompat.moc"
