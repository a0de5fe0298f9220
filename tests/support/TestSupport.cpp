#include "TestSupport.h"

#include "FakeTesraServer.h"
#include "client/Tesra.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

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

std::unique_ptr<Tesra> makeClient(const FakeTesraServer &server, const QTemporaryDir &dir,
                                  const QString &name)
{
    auto client = std::make_unique<Tesra>();
    client->SetKeyFile(
        writeKeyFile(dir, {QStringLiteral("k0"), QStringLiteral("k1"), QStringLiteral("k2"),
                           QStringLiteral("k3"), QStringLiteral("k4")}),
        name);
    client->SetNewSVAddress(QStringLiteral("127.0.0.1"));
    client->SetNewSVPort(QString::number(server.port()));
    return client;
}

bool connectClient(Tesra &client, int timeoutMs)
{
    QSignalSpy ready(&client, &Tesra::ConnectionIsReady);
    client.MakeConnection();
    return ready.wait(timeoutMs) || ready.count() > 0;
}

} // namespace TestSupport
