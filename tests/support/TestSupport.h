#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class FakeTesraServer;
class QTemporaryDir;
class Tesra;

// Small helpers shared by the tests: files in a temporary directory and a
// client pointed at the fake server on loopback.
namespace TestSupport {

// Writes content to path (directories created); returns path.
QString writeFile(const QString &path, const QByteArray &content);

// Writes "<dir>/<base>.key" holding the words and returns "<dir>/<base>",
// the form the client's key-file setting takes.
QString writeKeyFile(const QTemporaryDir &dir, const QStringList &words,
                     const QString &base = QStringLiteral("Brenlow"));

// A client named name with a fresh key file, aimed at 127.0.0.1 and the
// server's port, not yet connected.
std::unique_ptr<Tesra> makeClient(const FakeTesraServer &server, const QTemporaryDir &dir,
                                  const QString &name = QStringLiteral("Brenlow"));

// Starts the connection and waits until the client reports it ready.
bool connectClient(Tesra &client, int timeoutMs = 5000);

} // namespace TestSupport
