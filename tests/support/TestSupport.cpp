#include "TestSupport.h"

#include "FakeTesraServer.h"
#include "client/Tesra.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace TestSupport {

QString writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return path;
}

QString writeKeyFile(const QTemporaryDir &dir, const QStringList &words, const QString &base)
{
    const QString stem = dir.filePath(base);
    writeFile(stem + QStringLiteral(".key"), words.join(QLatin1Char(' ')).toUtf8() + '\n');
    return stem;
}

QString writeStation(const QTemporaryDir &dir, const QString &port, const QByteArray &body)
{
    const QString key =
        writeKeyFile(dir, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
                     QStringLiteral("station"));
    const QByteArray head =
        QStringLiteral("Tesra IP=127.0.0.1\nTesra Port=%1\nKey File=%2\n").arg(port, key).toUtf8();
    return writeFile(dir.filePath(QStringLiteral("station.ini")), head + body);
}

std::unique_ptr<Tesra> makeClient(quint16 port, const QTemporaryDir &dir, const QString &name,
                                  const QStringList &keys)
{
    auto client = std::make_unique<Tesra>();
    client->SetKeyFile(writeKeyFile(dir, keys, name), name);
    client->SetNewSVAddress(QStringLiteral("127.0.0.1"));
    client->SetNewSVPort(QString::number(port));
    return client;
}

std::unique_ptr<Tesra> makeClient(const FakeTesraServer &server, const QTemporaryDir &dir,
                                  const QString &name)
{
    return makeClient(server.port(), dir, name, {"k0", "k1", "k2", "k3", "k4"});
}

bool connectClient(Tesra &client, int timeoutMs)
{
    QSignalSpy ready(&client, &Tesra::ConnectionIsReady);
    client.MakeConnection();
    return ready.wait(timeoutMs) || ready.count() > 0;
}

QStringList takeSentLines(FakeTesraServer &server, Tesra &client, int timeoutMs)
{
    // A query, so that a read-only client lets it through as well.
    const QString marker = client.name() + QStringLiteral(".marker>Marker GetMarker");
    client.SendMsg(QStringLiteral("marker"), QStringLiteral("Marker"), QStringLiteral("GetMarker"),
                   QString());
    const bool arrived =
        QTest::qWaitFor([&] { return server.messageLines().contains(marker); }, timeoutMs);
    QStringList lines = server.messageLines();
    server.clearLines();
    if (!arrived)
        return lines << QStringLiteral("(marker never arrived)");
    return lines.mid(0, lines.indexOf(marker));
}

bool deliver(FakeTesraServer &server, Tesra &client, const QStringList &lines, int timeoutMs)
{
    QSignalSpy routed(&client, &Tesra::AnsIsBusy);
    for (const QString &line : lines)
        server.sendLine(line);
    server.sendLine(QStringLiteral("marker>%1.marker @IsBusy end").arg(client.name()));
    const bool routedAll = QTest::qWaitFor(
        [&] {
            for (const QList<QVariant> &arguments : qAsConst(routed)) {
                if (arguments.at(0).value<SMsg>().from == QLatin1String("marker"))
                    return true;
            }
            return false;
        },
        timeoutMs);
    // What the lines changed is shown once their batch is over, as it would
    // be before the window's next paint.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    return routedAll;
}

} // namespace TestSupport
