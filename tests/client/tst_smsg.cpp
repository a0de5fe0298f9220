#include <QtTest>

#include "client/SMsg.h"

class tst_SMsg : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(tst_SMsg)
#include "tst_smsg.moc"
