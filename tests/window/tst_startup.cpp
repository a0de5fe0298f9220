// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start: the language switches, the command line and the key
// file check, run on the real executable as a subprocess against the fake
// server on loopback. A configuration that would reach the default (private)
// server address only runs inside an isolated network namespace.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "app/StartUp.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <memory>

using namespace TestSupport;

class tst_StartUp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void languageSwitches_data();
    void languageSwitches();
    void catalogue_data();
    void catalogue();

    void commandLine_data();
    void commandLine();
    void commandLineErrors_data();
    void commandLineErrors();
    void explainsItself_data();
    void explainsItself();
    void missingKeyFile_data();
    void missingKeyFile();
    void defaultsWithoutConfigFile();
    void loggingRules_data();
    void loggingRules();

private:
    // A station configuration on loopback naming this test's server.
    QByteArray loopbackConfig(const QString &clientName = QStringLiteral("Brenlow")) const;
    // Starts brenlow; returns once it has logged in to the fake server.
    bool startAndLogIn(QProcess &process, const QStringList &args, const QString &workDir);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_StartUp::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
    writeKeyFile(*dir, {"w0", "w1", "w2", "w3", "w4", "w5", "w6", "w7"});
}

void tst_StartUp::cleanup()
{
    server.reset();
    dir.reset();
}

QByteArray tst_StartUp::loopbackConfig(const QString &clientName) const
{
    return QStringLiteral("Tesra IP=127.0.0.1\nTesra Port=%1\nName on Tesra=%2\nKey File=%3\n")
        .arg(server->port())
        .arg(clientName, dir->filePath(QStringLiteral("Brenlow")))
        .toUtf8();
}

bool tst_StartUp::startAndLogIn(QProcess &process, const QStringList &args, const QString &workDir)
{
    process.setWorkingDirectory(workDir);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(BRENLOW_BIN), args);
    if (!process.waitForStarted(10000))
        return false;
    return server->waitForKeyLine(20000);
}

void tst_StartUp::languageSwitches_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("japanese");
    QTest::newRow("none") << QStringList{"brenlow"} << true;
    QTest::newRow("-e") << QStringList{"brenlow", "-e"} << false;
    QTest::newRow("-j") << QStringList{"brenlow", "-j"} << true;
    QTest::newRow("-e then -j") << QStringList{"brenlow", "-e", "-j"} << true;
    QTest::newRow("-j then -e") << QStringList{"brenlow", "-j", "-e"} << false;
    QTest::newRow("-e after the config option")
        << QStringList{"brenlow", "-c", "x.ini", "-e"} << false;
    QTest::newRow("program name is not a switch") << QStringList{"-e"} << true;
    QTest::newRow("whole argument only") << QStringList{"brenlow", "-E", "-ej", "--e"} << true;
    QTest::newRow("config value that looks like a switch")
        << QStringList{"brenlow", "-e", "-c", "-j"} << true;
}

void tst_StartUp::languageSwitches()
{
    QFETCH(QStringList, args);
    QFETCH(bool, japanese);
    QCOMPARE(StartUp::japaneseRequested(args), japanese);
}

void tst_StartUp::catalogue_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("japanese");
    QTest::newRow("menu") << "Body"
                          << "Menu" << QString::fromUtf8("メニュー");
    QTest::newRow("quit") << "Body"
                          << "Quit" << QString::fromUtf8("終了");
    QTest::newRow("key file") << "Tesra"
                              << "Cannot open [%1.key]"
                              << QString::fromUtf8("Tesra の key ファイル [%1.key] が開けません。");
    QTest::newRow("untranslated error text") << "aCA"
                                             << "Er: CMD"
                                             << "Er: CMD";
    QTest::newRow("amplifier title") << "aCA"
                                     << "a CA" << QString::fromUtf8("電流アンプ");
    QTest::newRow("ramp default") << "aHV"
                                  << "15"
                                  << "15";
    QTest::newRow("ON stays ON") << "aHV"
                                 << "ON"
                                 << "ON";
    QTest::newRow("set voltage above the maximum")
        << "SetVGuard"
        << "above the usable maximum of %1 V"
        << QString::fromUtf8("使用可能な最大電圧 %1 V を超えています");
    QTest::newRow("group") << "aIC"
                           << "Frame" << QString::fromUtf8("イオンチャンバ");
}

void tst_StartUp::catalogue()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, japanese);
    QTranslator translator;
    QVERIFY(StartUp::installLanguage(*QCoreApplication::instance(), translator, true));
    const QByteArray ctx = context.toUtf8();
    const QByteArray src = source.toUtf8();
    QCOMPARE(QCoreApplication::translate(ctx.constData(), src.constData()), japanese);
    QCoreApplication::removeTranslator(&translator);

    QTranslator unused;
    QVERIFY(!StartUp::installLanguage(*QCoreApplication::instance(), unused, false));
    QCOMPARE(QCoreApplication::translate(ctx.constData(), src.constData()), source);
}

void tst_StartUp::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("clientName"); // tells which configuration was read

    // "Brenlow.ini" in the working directory names the client Default;
    // conf/station.ini names it Station.
    QTest::newRow("no arguments") << QStringList{} << "Japanese"
                                  << "Default";
    QTest::newRow("-e") << QStringList{"-e"} << "English"
                        << "Default";
    QTest::newRow("-e -j") << QStringList{"-e", "-j"} << "Japanese"
                           << "Default";
    QTest::newRow("-j -e") << QStringList{"-j", "-e"} << "English"
                           << "Default";
    QTest::newRow("-c with directories, then -e")
        << QStringList{"-c", "conf/station.ini", "-e"} << "English"
        << "Station";
    QTest::newRow("-c attached") << QStringList{"-cconf/station.ini"} << "Japanese"
                                 << "Station";
    QTest::newRow("--config=") << QStringList{"--config=conf/station.ini"} << "Japanese"
                               << "Station";
    QTest::newRow("last -c wins") << QStringList{"-c", "Brenlow.ini", "-c", "conf/station.ini"}
                                  << "Japanese"
                                  << "Station";
    QTest::newRow("positional argument ignored") << QStringList{"extra", "-e"} << "English"
                                                 << "Default";
}

void tst_StartUp::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, language);
    QFETCH(QString, clientName);
    const QString work = dir->filePath(QStringLiteral("work"));
    writeFile(work + "/Brenlow.ini", loopbackConfig(QStringLiteral("Default")));
    writeFile(work + "/conf/station.ini", loopbackConfig(QStringLiteral("Station")));

    QProcess process;
    QVERIFY(startAndLogIn(process, args, work));
    // The fake server's challenge 7 picks the eighth of the words w0 to w7.
    QCOMPARE(server->keyLine(), clientName + QStringLiteral(" w7"));
    QByteArray err;
    QTRY_VERIFY2((err += process.readAllStandardError())
                     .contains(QByteArray("interface language: " + language.toUtf8())),
                 err.constData());
    process.kill();
    process.waitForFinished();
}

void tst_StartUp::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown option") << QStringList{"-x"} << QByteArray("Unknown option 'x'");
    QTest::newRow("unknown long option")
        << QStringList{"--no-such-switch"} << QByteArray("Unknown option 'no-such-switch'");
    QTest::newRow("config without value") << QStringList{"-e", "-c"} << QByteArray("Missing value");
}

void tst_StartUp::commandLineErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, message);
    writeFile(dir->filePath(QStringLiteral("Brenlow.ini")), loopbackConfig());
    QProcess process;
    process.setWorkingDirectory(dir->path());
    process.start(QStringLiteral(BRENLOW_BIN), args);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(process.readAllStandardError().contains(message), message.constData());
    // It ended before any window or connection was made.
    QCOMPARE(server->connectionCount(), 0);
}

// Help, the version and a command line that will not do are answered on a
// machine without a display, by both programs, before anything connects or
// listens: the working directory's Brenlow.ini names this test's server,
// which must see no connection.
void tst_StartUp::explainsItself_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");    // each on standard output
    QTest::addColumn<QStringList>("err");    // each on standard error
    QTest::addColumn<QStringList>("absent"); // on neither

    const QString brenlow = QStringLiteral(BRENLOW_BIN);
    const QString sim = QStringLiteral(TESRA_SIM_BIN);
    const QStringList switches{
        "-h, --help",  "--version",   "-c, --config <file name>", "-j ",
        "-e ",         "--read-only", "--screenshot <file>",      "--check-config",
        "Brenlow.ini", "man brenlow"};
    const QString japanese = QString::fromUtf8("使い方: brenlow [オプション]");
    const QString english = QStringLiteral("Usage: brenlow [options]");
    const QString version = QStringLiteral("%1\nQt %2\n").arg(BRENLOW_VERSION, qVersion());
    const QStringList simSwitches{"-h, --help",        "--version",   "-c, --config <file>",
                                  "-p, --port <port>", "--hv <node>", "man tesra-sim"};

    QTest::newRow("--help") << brenlow << QStringList{"--help"} << 0
                            << (QStringList(switches) << japanese) << QStringList{}
                            << QStringList{english};
    QTest::newRow("-h") << brenlow << QStringList{"-h"} << 0 << (QStringList(switches) << japanese)
                        << QStringList{} << QStringList{english};
    QTest::newRow("--help -e") << brenlow << QStringList{"--help", "-e"} << 0
                               << (QStringList(switches) << english << "Show this help and end.")
                               << QStringList{} << QStringList{japanese};
    QTest::newRow("--version") << brenlow << QStringList{"--version"} << 0
                               << QStringList{"brenlow " + version} << QStringList{}
                               << QStringList{"--help"};
    QTest::newRow("unknown option")
        << brenlow << QStringList{"-e", "--no-such-switch"} << 1 << QStringList{}
        << QStringList{"brenlow: Unknown option 'no-such-switch'.\nTry 'brenlow --help'.\n"}
        << QStringList{english};
    QTest::newRow("value missing, with help")
        << brenlow << QStringList{"--help", "-c"} << 1 << QStringList{}
        << QStringList{"Missing value after '-c'", "Try 'brenlow --help'."}
        << QStringList{english, japanese};
    // Qt's own arguments are taken by the windowed application, which the
    // named platform lets start; the command line is judged after it.
    QTest::newRow("Qt's -platform, then --help")
        << brenlow << QStringList{"-platform", "offscreen", "--help", "-e"} << 0
        << (QStringList(switches) << english) << QStringList{} << QStringList{};
    QTest::newRow("Qt's -platform, then an unknown option")
        << brenlow << QStringList{"-platform", "offscreen", "-x"} << 1 << QStringList{}
        << QStringList{"Unknown option 'x'", "Try 'brenlow --help'."} << QStringList{};

    QTest::newRow("tesra-sim --help") << sim << QStringList{"--help"} << 0 << simSwitches
                                      << QStringList{} << QStringList{"listening"};
    QTest::newRow("tesra-sim -h") << sim << QStringList{"-h"} << 0 << simSwitches << QStringList{}
                                  << QStringList{"listening"};
    QTest::newRow("tesra-sim --version")
        << sim << QStringList{"--version"} << 0 << QStringList{"tesra-sim " + version}
        << QStringList{} << QStringList{"listening"};
    QTest::newRow("tesra-sim unknown option")
        << sim << QStringList{"--no-such-switch"} << 2 << QStringList{}
        << QStringList{"tesra-sim: Unknown option 'no-such-switch'.\nTry 'tesra-sim --help'.\n"}
        << QStringList{"listening"};
}

void tst_StartUp::explainsItself()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);
    QFETCH(QStringList, absent);
    writeFile(dir->filePath(QStringLiteral("Brenlow.ini")), loopbackConfig());

    QProcess process;
    process.setWorkingDirectory(dir->path());
    // No display of any kind, and no platform chosen for Qt.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(variable));
    process.setProcessEnvironment(env);
    process.start(program, args);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QString stdOut = QString::fromUtf8(process.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), exitCode);
    for (const QString &text : out)
        QVERIFY2(stdOut.contains(text), qPrintable(text + " not in:\n" + stdOut));
    for (const QString &text : err)
        QVERIFY2(stdErr.contains(text), qPrintable(text + " not in:\n" + stdErr));
    for (const QString &text : absent)
        QVERIFY2(!stdOut.contains(text) && !stdErr.contains(text), qPrintable(text));
    if (exitCode == 0)
        QVERIFY2(!stdErr.contains("Unknown"), qPrintable(stdErr));
    QCOMPARE(server->connectionCount(), 0);
}

void tst_StartUp::missingKeyFile_data()
{
    QTest::addColumn<QString>("keyFile");
    QTest::addColumn<QStringList>("run");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("named file missing")
        << "nokey" << QStringList() << 1
        << QStringList{"Cannot open [nokey.key]", "Cannot open both [nokey.key] and "
                                                  "[:Brenlow.key]"}
        << QStringList{};
    QTest::newRow("empty name tries only the resources")
        << "" << QStringList() << 1 << QStringList{"Cannot open both [.key] and [:Brenlow.key]"}
        << QStringList{"Cannot open [.key]"};
    // Under a comparison or a restore 1 means differences: a run that
    // cannot begin ends with 2, as for a snapshot that cannot be read.
    QTest::newRow("compare") << "nokey" << QStringList{"--compare-snapshot", "s.json"} << 2
                             << QStringList{"Cannot open both [nokey.key]"} << QStringList{};
    QTest::newRow("restore") << "nokey" << QStringList{"--restore-snapshot", "s.json"} << 2
                             << QStringList{"Cannot open both [nokey.key]"} << QStringList{};
    // For a save, 1 already says that no link was made.
    QTest::newRow("save") << "nokey" << QStringList{"--save-snapshot", "s.json"} << 1
                          << QStringList{"Cannot open both [nokey.key]"} << QStringList{};
}

void tst_StartUp::missingKeyFile()
{
    QFETCH(QString, keyFile);
    QFETCH(QStringList, run);
    QFETCH(int, status);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, absent);
    writeFile(dir->filePath(QStringLiteral("k.ini")),
              QStringLiteral("Tesra IP=127.0.0.1\nTesra Port=%1\nKey File=%2\n")
                  .arg(server->port())
                  .arg(keyFile)
                  .toUtf8());
    QProcess process;
    process.setWorkingDirectory(dir->path());
    // The program ends at once with exit(), its objects still alive; in the
    // sanitized build that is not a leak to report.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.contains(QStringLiteral("ASAN_OPTIONS")))
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(BRENLOW_BIN),
                  QStringList{QStringLiteral("-e"), QStringLiteral("-c"), QStringLiteral("k.ini")} +
                      run);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), status);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    for (const QString &m : messages)
        QVERIFY2(err.contains(m), qPrintable(err));
    for (const QString &m : absent)
        QVERIFY2(!err.contains(m), qPrintable(err));
    QCOMPARE(server->connectionCount(), 0);
}

void tst_StartUp::defaultsWithoutConfigFile()
{
    // Without a configuration the client aims at the station's own server.
    // That address must never be reached from a test, so the program runs in
    // a network namespace of its own, where no packet can leave.
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("true")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        QSKIP("unshare -n is not available here");

    QProcess process;
    process.setWorkingDirectory(dir->path()); // holds Brenlow.key, no Brenlow.ini
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("-n"), QStringLiteral(BRENLOW_BIN), QStringLiteral("-e")});
    QVERIFY(process.waitForStarted(10000));
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += process.readAllStandardError()).contains("Tesra Port 6058"),
                             20000);
    QVERIFY2(err.contains("key file names Brenlow Brenlow"), err.constData());
    QVERIFY2(err.contains("Tesra Server 192.168."), err.constData());
    process.kill();
    process.waitForFinished();
}

void tst_StartUp::loggingRules_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QString client = QStringLiteral("key file names");
    const QString window = QStringLiteral("interface language: English");
    const QString config = QStringLiteral("ion chamber [Orphan]: no HV module with id [nohv]");
    // Without rules every line is there, as plain text without a category.
    QTest::newRow("no rules") << QString() << QStringList{client, window, config}
                              << QStringList{"brenlow."};
    QTest::newRow("client off") << "brenlow.client.debug=false" << QStringList{window, config}
                                << QStringList{client};
    QTest::newRow("window off") << "brenlow.window.debug=false" << QStringList{client, config}
                                << QStringList{window};
    QTest::newRow("config off") << "brenlow.config.debug=false" << QStringList{client, window}
                                << QStringList{config};
    QTest::newRow("all off") << "brenlow.*.debug=false" << QStringList{}
                             << QStringList{client, window, config};
}

void tst_StartUp::loggingRules()
{
    QFETCH(QString, rules);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    writeFile(dir->filePath(QStringLiteral("Brenlow.ini")),
              loopbackConfig() + "IC Module Names=Orphan\n[Orphan]\nHV Unit id=nohv\n");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), rules);
    process.setProcessEnvironment(env);
    QVERIFY(startAndLogIn(process, {QStringLiteral("-e")}, dir->path()));
    // Every line looked for is written before the client connects; once the
    // process has ended its whole output can be read.
    process.kill();
    QVERIFY(process.waitForFinished(20000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    for (const QString &line : present)
        QVERIFY2(err.contains(line), qPrintable(err));
    for (const QString &line : absent)
        QVERIFY2(!err.contains(line), qPrintable(err));
}

QTEST_MAIN(tst_StartUp)
#include "tst_startup.moc"
