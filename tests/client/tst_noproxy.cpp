// SPDX-License-Identifier: GPL-3.0-or-later
// The link goes straight to the configured server, whatever web proxy the
// environment names. Qt never proxies a connection to loopback, so the
// server has to stand on another address: inside a network namespace of the
// test's own, the fake server listens on 10.123.0.1 (an address of the
// namespace's loopback device, which Qt does not take for loopback), and a
// listener of the test's own stands as the proxy that each of the six proxy
// variables names in turn. Needs root on Linux (unshare); skipped, saying
// why, elsewhere.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/Tesra.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

// An address of the namespace only; nothing outside it can see it.
const char *const ServerAddress = "10.123.0.1";

} // namespace

class tst_NoProxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void straightToServer_data();
    void straightToServer();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
    // The proxy: it only records what reaches it and never answers.
    std::unique_ptr<QTcpServer> proxy;
    QByteArray proxyHeard;
    int proxyConnections = 0;
    QByteArray variable;
};

void tst_NoProxy::initTestCase()
{
    QString why;
    if (!enterOwnNetwork(why))
        QSKIP(qPrintable(QStringLiteral("cannot make a network of its own: ") + why));
    if (!addOwnAddress(QLatin1String(ServerAddress), why))
        QSKIP(qPrintable(QStringLiteral("cannot give the namespace an address: ") + why));
}

void tst_NoProxy::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen(QHostAddress(QLatin1String(ServerAddress))));
    proxy = std::make_unique<QTcpServer>();
    proxyHeard.clear();
    proxyConnections = 0;
    connect(proxy.get(), &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = proxy->nextPendingConnection()) {
            ++proxyConnections;
            connect(socket, &QTcpSocket::readyRead, this,
                    [this, socket] { proxyHeard += socket->readAll(); });
        }
    });
    QVERIFY(proxy->listen(QHostAddress::LocalHost, 0));
}

void tst_NoProxy::cleanup()
{
    if (!variable.isEmpty())
        qunsetenv(variable.constData());
    variable.clear();
    proxy.reset();
    server.reset();
    dir.reset();
}

void tst_NoProxy::straightToServer_data()
{
    QTest::addColumn<QByteArray>("name");
    for (const char *name :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
        QTest::newRow(name) << QByteArray(name);
}

void tst_NoProxy::straightToServer()
{
    QFETCH(QByteArray, name);
    variable = name;
    qputenv(name.constData(),
            QStringLiteral("http://127.0.0.1:%1/").arg(proxy->serverPort()).toLatin1());

    auto client = makeClient(*server, *dir);
    client->SetNewSVAddress(QLatin1String(ServerAddress));
    const bool ready = connectClient(*client, 10000);

    QVERIFY2(proxyConnections == 0 && proxyHeard.isEmpty(),
             qPrintable(QStringLiteral("the proxy was asked: ") + QString::fromLatin1(proxyHeard)));
    QVERIFY(ready);
    QCOMPARE(server->connectionCount(), 1);
    QCOMPARE(server->keyLine(), QStringLiteral("Brenlow k2"));
    QCOMPARE(client->linkState(), Tesra::LinkState::Ready);
}

QTEST_GUILESS_MAIN(tst_NoProxy)
#include "tst_noproxy.moc"
