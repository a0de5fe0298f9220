// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's modes and feedback on the whole window against the fake
// server: read-only mode (nothing but queries and subscriptions on the wire,
// controls locked), the command log with its link events, the status-bar
// notes about the configuration, and the two switches that end the program
// by themselves (--screenshot, --check-config) run on the real executable.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "app/StartUp.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "window/Body.h"
#include "window/ReadOnlyLock.h"
#include "window/StatusNotes.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QImageReader>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <cerrno>
#include <memory>

using namespace TestSupport;

class tst_OperatorModes : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readOnlySendsOnlyQueriesAndSubscriptions_data();
    void readOnlySendsOnlyQueriesAndSubscriptions();
    void readOnlyControlsStayLocked();
    void readOnlyTexts_data();
    void readOnlyTexts();
    void commandLogRecordsCommandsAndLinkEvents();
    void commandLogRecordsRefusal();
    void unopenableCommandLogIsNoted();
    void unwritableCommandLogIsNotedWhileItLasts();
    void configurationNotes_data();
    void configurationNotes();
    void dropDownsReadable_data();
    void dropDownsReadable();
    void screenshot_data();
    void screenshot();
    void checkConfig_data();
    void checkConfig();

private:
    QString writeConfig(const QByteArray &extra = QByteArray());
    // Every line the server got after the key line, once the client's
    // marker query has arrived after them.
    QStringList sentSoFar(Tesra &client);
    void deliver(Tesra &client, const QStringList &lines);
    QProcess *run(const QStringList &args, const QByteArray &platform = "offscreen");

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
    std::vector<std::unique_ptr<QProcess>> processes;
};

namespace {

const QString Marker = QStringLiteral("Brenlow.probe>Marker GetEnd");

// One HV module and one amplifier in one chamber, both with tables.
const QByteArray TwoPanels = "TCTables=TC\nRangeTables=R\nHV Module Names=H\n"
                             "AMP Module Names=A\nIC Module Names=C\n"
                             "[TC]\nTable=0.001, 0.01, 0.1\n[R]\nTable=1e-6, 1e-7, 1e-8\n"
                             "[H]\nid=hv1\ndriver=hvps\nch=2\nDefault Voltage=100, 200\n"
                             "[A]\nid=amp1\ndriver=ca\nch=1\nTC Table=TC\nRange Table=R\n"
                             "[C]\nHV Unit id=hv1\nAMP Unit id=amp1\n";

bool changesNothing(const QString &line)
{
    // "head word params": the word decides.
    const QStringList parts = line.split(QLatin1Char(' '));
    if (parts.size() < 2)
        return false;
    return Tesra::isQuery(parts.at(1)) || Tesra::isSubscription(parts.at(0), parts.at(1));
}

} // namespace

void tst_OperatorModes::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_OperatorModes::cleanup()
{
    for (auto &process : processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(10000);
        }
    }
    processes.clear();
    server.reset();
    dir.reset();
}

QString tst_OperatorModes::writeConfig(const QByteArray &extra)
{
    return TestSupport::writeStation(*dir, QString::number(server->port()), extra);
}

QStringList tst_OperatorModes::sentSoFar(Tesra &client)
{
    client.SendLine(QStringLiteral("Brenlow.probe>Marker"), QStringLiteral("GetEnd"), QString());
    const bool arrived =
        QTest::qWaitFor([this] { return server->messageLines().contains(Marker); }, 15000);
    QStringList lines = server->messageLines();
    server->clearLines();
    if (!arrived)
        return {QStringLiteral("<marker never arrived>")};
    lines.removeAll(Marker);
    return lines;
}

void tst_OperatorModes::deliver(Tesra &client, const QStringList &lines)
{
    QSignalSpy routed(&client, &Tesra::AnsIsBusy);
    for (const QString &line : lines)
        server->sendLine(line);
    server->sendLine(QStringLiteral("sync>Brenlow.sync @IsBusy 0"));
    QVERIFY(routed.wait(15000) || routed.count() > 0);
}

QProcess *tst_OperatorModes::run(const QStringList &args, const QByteArray &platform)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(platform));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(dir->path());
    process->start(QStringLiteral(BRENLOW_BIN), args);
    processes.push_back(std::move(process));
    return processes.back().get();
}

void tst_OperatorModes::readOnlySendsOnlyQueriesAndSubscriptions_data()
{
    QTest::addColumn<bool>("bySwitch");
    QTest::newRow("--read-only") << true;
    QTest::newRow("Read Only=true") << false;
}

void tst_OperatorModes::readOnlySendsOnlyQueriesAndSubscriptions()
{
    QFETCH(bool, bySwitch);
    Body body(writeConfig(TwoPanels + (bySwitch ? QByteArray()
                                                : QByteArray("\n[General]\n"
                                                             "Read Only=true\n"))),
              bySwitch);
    QVERIFY(body.isReadOnly());
    Tesra &client = *body.tesra();
    QSignalSpy ready(&client, &Tesra::ConnectionIsReady);
    QVERIFY(ready.wait(15000));

    // Every status and event the panels take, including the status text that
    // the amplifier panel echoes back as settings.
    deliver(client, {"ca.1>Brenlow.amp1 @GetStatus CA5350A1B0C1I1N0P1T/Z1",
                     "ca.1>Brenlow.amp1 _StatusChanged CA5350A0B2C0I0N1P0T5Z0",
                     "ca.1>Brenlow.amp1 @GetRange 1e-7",
                     "ca.1>Brenlow.amp1 _RangeChanged 1e-6",
                     "ca.1>Brenlow.amp1 @GetCurrentSurpressionValue 2e-10",
                     "ca.1>Brenlow.amp1 _CurrentSurpressionValueChanged 3e-10",
                     "ca.1>Brenlow.amp1 @GetVoltageBiasRange 5",
                     "ca.1>Brenlow.amp1 _VoltageBiasRangeChanged 6",
                     "ca.1>Brenlow.amp1 _TotalGainChanged 1e6",
                     "ca.1>Brenlow.amp1 @GetErrorStatus 1",
                     "ca.1>Brenlow.amp1 @GetSRQ 1",
                     "ca.1>Brenlow.amp1 _SRQChanged 1",
                     "ca.1>Brenlow.amp1 _ErrorStatusChanged 2",
                     "ca.1>Brenlow.amp1 @IsBusy 0",
                     "ca.1>Brenlow.amp1 _ChangedIsBusy 1",
                     "hvps.2>Brenlow.hv1 @GetMaxV 3000",
                     "hvps.2>Brenlow.hv1 @GetVLimit 2500",
                     "hvps.2>Brenlow.hv1 @GetV 150",
                     "hvps.2>Brenlow.hv1 @GetSetV 200",
                     "hvps.2>Brenlow.hv1 @GetRamp 50",
                     "hvps.2>Brenlow.hv1 @GetStat1 ON",
                     "hvps.2>Brenlow.hv1 @IsControllable 1",
                     "hvps.2>Brenlow.hv1 _ChangedOnOff OFF",
                     "hvps.2>Brenlow.hv1 _ChangedStat L2H",
                     "hvps.2>Brenlow.hv1 _ChangedValue 160",
                     "hvps.2>Brenlow.hv1 _ChangedSetValue 100",
                     "hvps.2>Brenlow.hv1 _ChangedRampRate 20"});

    // Every control, driven through the signals its panel listens to, as if
    // the lock were not there.
    QList<QWidget *> controls;
    for (aHV *panel : body.hvModules())
        controls += panel->findChildren<QWidget *>();
    for (aCA *panel : body.ampModules()) {
        controls += panel->findChildren<QWidget *>();
        panel->setModuleName(QStringLiteral("renamed"));
    }
    int driven = 0;
    for (QWidget *widget : qAsConst(controls)) {
        if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            emit button->pressed();
            emit button->released();
            emit button->clicked(!button->isChecked());
            emit button->toggled(!button->isChecked());
            driven++;
        } else if (auto *box = qobject_cast<QComboBox *>(widget)) {
            for (int i = box->count() - 1; i >= 0; --i) {
                box->setCurrentIndex(i);
                emit box->activated(i);
            }
            if (box->isEditable()) {
                box->setEditText(QStringLiteral("300"));
                if (box->lineEdit())
                    emit box->lineEdit()->returnPressed();
            }
            driven++;
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            if (edit->isReadOnly())
                continue;
            edit->setText(QStringLiteral("1"));
            emit edit->returnPressed();
            emit edit->editingFinished();
            driven++;
        }
    }
    QVERIFY(driven > 20);

    const QStringList lines = sentSoFar(client);
    QVERIFY(!lines.isEmpty()); // the subscriptions and start queries at least
    for (const QString &line : lines)
        QVERIFY2(changesNothing(line), qPrintable(line));
}

void tst_OperatorModes::readOnlyControlsStayLocked()
{
    Body body(writeConfig(TwoPanels), true);
    QCOMPARE(body.windowTitle(), QStringLiteral("Brenlow (read-only)"));
    QVERIFY(
        body.statusNotes()->notes().contains(QStringLiteral("read-only: no commands are sent")));

    aHV *hv = body.hvModules().first();
    aCA *amp = body.ampModules().first();
    QStringList locked;
    for (QWidget *panel : {static_cast<QWidget *>(hv), static_cast<QWidget *>(amp)}) {
        for (QWidget *widget : panel->findChildren<QWidget *>()) {
            if (!ReadOnlyLock::isOperatorControl(widget))
                continue;
            // Another rule turning a control on does not win.
            widget->setEnabled(true);
            QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
            locked << widget->objectName();
        }
    }
    for (const char *name : {"Start", "SetV", "RangeSCB", "ZeroCheckB", "ModuleName", "ResetB",
                             "NewCSprEdit", "SetCSprTableB"})
        QVERIFY2(locked.contains(QLatin1String(name)), name);
    // The view stays the operator's.
    for (const char *name : {"ShowDetailsB", "ShowStatB"})
        QVERIFY(!locked.contains(QLatin1String(name)));
    // Show Stat sends a query, so like every sending control it waits for
    // the link to be ready.
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Ready, 15000);
    QVERIFY(amp->findChild<QWidget *>(QStringLiteral("ShowStatB"))->isEnabled());
}

void tst_OperatorModes::readOnlyTexts_data()
{
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("note");
    QTest::newRow("English") << false << "Brenlow (read-only)"
                             << "read-only: no commands are sent";
    QTest::newRow("Japanese") << true << QString::fromUtf8("ブレンロー（読み取り専用）")
                              << QString::fromUtf8("読み取り専用: コマンドは送信されません");
}

void tst_OperatorModes::readOnlyTexts()
{
    QFETCH(bool, japanese);
    QFETCH(QString, title);
    QFETCH(QString, note);
    QTranslator translator;
    StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese);
    Body body(writeConfig(TwoPanels), true);
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(body.windowTitle(), title);
    QCOMPARE(body.statusNotes()->notes(), QStringList{note});
}

void tst_OperatorModes::commandLogRecordsCommandsAndLinkEvents()
{
    const QString logPath = dir->filePath(QStringLiteral("commands.log"));
    writeFile(logPath, "earlier entry\n");
    auto body = std::make_unique<Body>(
        writeConfig(TwoPanels + "\n[General]\nCommand Log=" + logPath.toUtf8() + "\n"));
    Tesra &client = *body->tesra();
    QSignalSpy ready(&client, &Tesra::ConnectionIsReady);
    QVERIFY(ready.wait(15000));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    client.SendMsg(QStringLiteral("hv1"), QStringLiteral("hvps.2"), QStringLiteral("SetV"),
                   QStringLiteral("250"));
    const QStringList wire = sentSoFar(client);
    QVERIFY(wire.contains(QStringLiteral("Brenlow.hv1>hvps.2 SetV 250")));
    server->dropClient();
    QSignalSpy lost(&client, &Tesra::Disconnected);
    QVERIFY(lost.count() > 0 || lost.wait(15000));
    // A command into the link that is gone is not on record; the status bar
    // says it did not go out.
    client.SendMsg(QStringLiteral("hv1"), QStringLiteral("hvps.2"), QStringLiteral("SetV"),
                   QStringLiteral("260"));
    QCOMPARE(body->statusBar()->currentMessage(),
             QStringLiteral("Not sent, the link is not ready: Brenlow.hv1>hvps.2 SetV 260"));

    // Flushed line by line: readable while the program still runs.
    QFile file(logPath);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("earlier entry"));
    const QRegularExpression stamp(QStringLiteral(
        "^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)) (.*)$"));
    QStringList entries;
    for (const QString &line : lines.mid(1)) {
        const QRegularExpressionMatch m = stamp.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        const QDateTime when = QDateTime::fromString(m.captured(1), Qt::ISODateWithMs);
        QVERIFY(when.isValid());
        QVERIFY(when >= before.addSecs(-60) && when <= QDateTime::currentDateTime());
        entries << m.captured(3);
        // The key line never reaches the log.
        QVERIFY(!line.contains(QStringLiteral("Brenlow a")) &&
                !line.contains(QStringLiteral("Brenlow b")) &&
                !line.contains(QStringLiteral("Brenlow c")));
    }
    QCOMPARE(entries.first(),
             QStringLiteral("link connected to 127.0.0.1:%1 as Brenlow").arg(server->port()));
    QVERIFY(entries.contains(QStringLiteral("Brenlow.hv1>hvps.2 SetV 250")));
    // The loss, then the station's alarm for it.
    QCOMPARE(
        entries.mid(entries.size() - 2),
        (QStringList{
            QStringLiteral("link lost"),
            QStringLiteral("alarm raised link-lost (major): 127.0.0.1:%1").arg(server->port())}));
    for (const QString &entry : entries)
        QVERIFY2(entry.startsWith(QLatin1String("link ")) || !changesNothing(entry),
                 qPrintable(entry));
    // The amplifier's start-up settings are commands, so they are there too.
    QVERIFY(entries.contains(QStringLiteral("Brenlow.amp1>ca.1 SetSRQMask 01")));
}

void tst_OperatorModes::commandLogRecordsRefusal()
{
    // The server takes the key line and closes the link before its verdict.
    server->setAutoHandshake(false);
    connect(server.get(), &FakeTesraServer::clientConnected, server.get(),
            [this] { server->send("7\n"); });
    connect(server.get(), &FakeTesraServer::keyLineReceived, server.get(),
            [this] { server->dropClient(); });
    const QString logPath = dir->filePath(QStringLiteral("commands.log"));
    Body body(writeConfig("Command Log=" + logPath.toUtf8() + "\n"));
    QTRY_VERIFY_WITH_TIMEOUT(body.tesra()->linkState() == Tesra::LinkState::Refused, 15000);
    QFile file(logPath);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QByteArray text = file.readAll();
    QVERIFY2(text.endsWith(
                 QStringLiteral(" link refused by 127.0.0.1:%1\n").arg(server->port()).toUtf8()),
             text.constData());
    QCOMPARE(text.count('\n'), 1);
}

void tst_OperatorModes::unopenableCommandLogIsNoted()
{
    const QString logPath = dir->filePath(QStringLiteral("no/such/dir/commands.log"));
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^command log \\[.*no/such/dir/"
                                                           "commands.log\\] cannot be opened")));
    Body body(writeConfig("Command Log=" + logPath.toUtf8() + "\n"));
    QCOMPARE(body.statusNotes()->notes(),
             QStringList{"Command log " + QDir::toNativeSeparators(logPath) +
                         " cannot be opened: no commands are recorded"});
    // The program runs on: it still logs in.
    QVERIFY(server->waitForKeyLine(15000));
}

void tst_OperatorModes::unwritableCommandLogIsNotedWhileItLasts()
{
    const QString logDir = dir->filePath(QStringLiteral("log"));
    const QString logPath = logDir + QStringLiteral("/commands.log");
    QVERIFY(QDir().mkpath(logDir));
    Body body(writeConfig(TwoPanels + "\n[General]\nCommand Log=" + logPath.toUtf8() + "\n"));
    Tesra &client = *body.tesra();
    QTRY_VERIFY_WITH_TIMEOUT(client.linkState() == Tesra::LinkState::Ready, 15000);
    QVERIFY(QDir(logDir).removeRecursively());
    client.SendMsg(QStringLiteral("hv1"), QStringLiteral("hvps.2"), QStringLiteral("SetV"),
                   QStringLiteral("250"));
    const QString note = "Command log " + QDir::toNativeSeparators(logPath) +
                         " cannot be written (the file was removed and cannot be made again (" +
                         qt_error_string(ENOENT) + ")): commands are not being recorded";
    QCOMPARE(body.statusNotes()->notes(), QStringList{note});
    // The note goes with the first line written again.
    QVERIFY(QDir().mkpath(logDir));
    client.SendMsg(QStringLiteral("hv1"), QStringLiteral("hvps.2"), QStringLiteral("SetV"),
                   QStringLiteral("300"));
    QCOMPARE(body.statusNotes()->notes(), QStringList());
    QFile file(logPath);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QVERIFY(file.readAll().endsWith(" Brenlow.hv1>hvps.2 SetV 300\n"));
}

void tst_OperatorModes::configurationNotes_data()
{
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QStringList>("debugLines");
    QTest::addColumn<QString>("note");

    QTest::newRow("misspelt keys")
        << QByteArray("TesraIP=127.0.0.1\nHV Module Names=H\n[H]\nid=h\nVoltage Tolerence=5\n")
        << QStringList{"unknown key [TesraIP] at the top level",
                       "unknown key [Voltage Tolerence] in section [H]"}
        << "Unknown configuration keys: 2 (see the debug log)";
    QTest::newRow("clean file") << QByteArray("HV Module Names=H\n[H]\nid=h\n") << QStringList()
                                << QString();
}

void tst_OperatorModes::configurationNotes()
{
    QFETCH(QByteArray, extra);
    QFETCH(QStringList, debugLines);
    QFETCH(QString, note);
    for (const QString &line : debugLines)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
    Body body(writeConfig(extra));
    QCOMPARE(body.statusNotes()->notes(), note.isEmpty() ? QStringList() : QStringList{note});
}

void tst_OperatorModes::dropDownsReadable_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("colour");
    for (const char *box : {"RangeSCB", "SelectTCCB", "SetV"}) {
        QTest::newRow(QByteArray(QByteArray(box) + " pale").constData())
            << box << QByteArray("255, 250, 235");
        QTest::newRow(QByteArray(QByteArray(box) + " white").constData())
            << box << QByteArray("255, 255, 255");
    }
}

void tst_OperatorModes::dropDownsReadable()
{
    QFETCH(QString, box);
    QFETCH(QByteArray, colour);
    QByteArray station = TwoPanels;
    station.replace("[H]\n", QByteArray("[H]\nColor=" + colour + "\n"));
    station.replace("[A]\n", QByteArray("[A]\nColor=" + colour + "\n"));
    Body body(writeConfig(station));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    // The panel's sheet is the configured one, word for word.
    const QString sheet =
        QStringLiteral("background-color: rgb(%1);").arg(QString::fromLatin1(colour));
    QCOMPARE(body.hvModules().first()->styleSheet(), sheet);
    QCOMPARE(body.ampModules().first()->styleSheet(), sheet);

    auto *combo = body.findChild<QComboBox *>(box);
    QVERIFY(combo);
    if (combo->count() < 2)
        combo->addItems({QStringLiteral("100"), QStringLiteral("200")});
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), 10000);
    const QModelIndex entry = view->model()->index(1, 0);
    const QRect rect = view->visualRect(entry);
    QTest::mouseMove(view->viewport(), rect.center());
    view->setCurrentIndex(entry);

    // The entry's text stands out from its background: somewhere inside the
    // entry (its outline left aside) the brightness differs widely from the
    // entry's most common colour.
    const QImage picture = view->viewport()->grab(rect.adjusted(3, 3, -3, -3)).toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            counts[picture.pixel(x, y)]++;
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    int contrast = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        contrast = qMax(contrast, qAbs(qGray(it.key()) - qGray(background)));
    QVERIFY2(contrast > 100, qPrintable(QStringLiteral("contrast %1").arg(contrast)));
    combo->hidePopup();
}

void tst_OperatorModes::screenshot_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("link");
    QTest::newRow("written") << "shot.png" << 0 << true;
    QTest::newRow("unwritable") << "no/such/dir/shot.png" << 1 << true;
    // A server that never sends its challenge: the picture comes all the same.
    QTest::newRow("no ready link") << "shot.png" << 0 << false;
}

void tst_OperatorModes::screenshot()
{
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(bool, link);
    server->setAutoHandshake(link);
    const QString config = writeConfig(TwoPanels);
    QSignalSpy connected(server.get(), &FakeTesraServer::clientConnected);
    QProcess *process = run({"-e", "-c", config, "--screenshot", file});
    QVERIFY(process->waitForStarted(15000));
    QVERIFY(connected.count() > 0 || connected.wait(30000));
    if (link)
        QVERIFY(server->waitForKeyLine(30000));
    QTRY_VERIFY_WITH_TIMEOUT(process->state() == QProcess::NotRunning, 60000);
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), exitCode);
    const QString path = dir->filePath(file);
    if (exitCode == 0) {
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage picture = reader.read();
        QVERIFY(picture.width() > 100 && picture.height() > 100);
    } else {
        QVERIFY(!QFile::exists(path));
        QVERIFY(process->readAllStandardError().contains("cannot write the screenshot"));
    }
}

void tst_OperatorModes::checkConfig_data()
{
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("clean") << QByteArray(TwoPanels) << 0 << "station.ini: no problems found";
    QTest::newRow("misspelt key") << QByteArray(TwoPanels).replace("Range Table=R", "RangeTable=R")
                                  << 1 << "unknown key [RangeTable] in section [A]";
}

void tst_OperatorModes::checkConfig()
{
    QFETCH(QByteArray, extra);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    writeConfig(extra);
    // A platform that does not exist: the check must build no window at all.
    QProcess *process = run({"--check-config", "-c", "station.ini"}, "no-such-platform");
    QVERIFY(process->waitForStarted(15000));
    QTRY_VERIFY_WITH_TIMEOUT(process->state() == QProcess::NotRunning, 60000);
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), exitCode);
    QVERIFY2(process->readAllStandardOutput().contains(output.toUtf8()), qPrintable(output));
    QCOMPARE(server->connectionCount(), 0);
}

QTEST_MAIN(tst_OperatorModes)
#include "tst_operatormodes.moc"
