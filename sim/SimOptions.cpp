// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimOptions.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <cmath>

namespace {

// A finite number of 0 or more: seconds or volts, as the option says.
bool toNonNegative(const QString &text, double &value)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0)
        return false;
    value = v;
    return true;
}

} // namespace

bool SimOptions::parseFault(const QString &text, bool withWord, SimFault &fault)
{
    const int at = text.lastIndexOf(QLatin1Char('@'));
    if (at < 0)
        return false;
    QString what = text.left(at);
    const QStringList times = text.mid(at + 1).split(QLatin1Char('+'));
    if (times.size() > 2 || !toNonNegative(times.at(0), fault.at))
        return false;
    fault.lasts = 0;
    if (times.size() == 2 && (!toNonNegative(times.at(1), fault.lasts) || fault.lasts <= 0))
        return false;
    fault.word.clear();
    if (withWord) {
        const int equals = what.indexOf(QLatin1Char('='));
        if (equals < 0)
            return false;
        fault.word = what.mid(equals + 1);
        what = what.left(equals);
        // One status word, as a module reports it.
        if (fault.word.isEmpty() || fault.word.contains(QLatin1Char(' ')))
            return false;
    }
    fault.node = what;
    return !fault.node.isEmpty() && !fault.node.contains(QLatin1Char(' ')) &&
           !fault.node.contains(QLatin1Char('='));
}

bool SimOptions::isLoopback(const QString &text)
{
    if (text == QLatin1String("localhost"))
        return true;
    const QHostAddress host(text);
    return !host.isNull() && host.isLoopback();
}

QString SimOptions::versionText()
{
    return QStringLiteral("tesra-sim %1\nQt %2\n")
        .arg(QStringLiteral(BRENLOW_VERSION), QLatin1String(qVersion()));
}

bool SimOptions::parse(const QStringList &arguments, QString &error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Station simulator: a Tesra message server on loopback with simulated "
                       "CA5350 amplifiers and HV modules."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help."));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Show the version and end."));
    const QCommandLineOption stationOption(
        {QStringLiteral("c"), QStringLiteral("config")},
        QStringLiteral("Station INI file: one device node per amplifier and HV module, key file "
                       "and port as Brenlow reads them."),
        QStringLiteral("file"));
    const QCommandLineOption addressOption(
        QStringLiteral("address"), QStringLiteral("Loopback address to listen on (127.0.0.1)."),
        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(
        {QStringLiteral("p"), QStringLiteral("port")},
        QStringLiteral("Port to listen on; 0 picks a free one (default: the station file's "
                       "Tesra Port, else 6058)."),
        QStringLiteral("port"));
    const QCommandLineOption keyOption(
        {QStringLiteral("k"), QStringLiteral("key-file")},
        QStringLiteral("Key file (default: the station file's Key File with .key, else "
                       "Brenlow.key)."),
        QStringLiteral("file"));
    const QCommandLineOption ampOption(QStringLiteral("amp"),
                                       QStringLiteral("Add a CA5350 amplifier node (repeatable)."),
                                       QStringLiteral("node"));
    const QCommandLineOption hvOption(QStringLiteral("hv"),
                                      QStringLiteral("Add an HV module node (repeatable)."),
                                      QStringLiteral("node"));
    const QCommandLineOption logOption(
        {QStringLiteral("l"), QStringLiteral("log")},
        QStringLiteral("Log every line relayed to file (- for standard output)."),
        QStringLiteral("file"));
    const QCommandLineOption quitOption(QStringLiteral("quit-after"),
                                        QStringLiteral("Stop by itself after this many seconds."),
                                        QStringLiteral("seconds"));
    const QCommandLineOption dropOption(
        QStringLiteral("drop-every"),
        QStringLiteral("Close every client connection this often, in seconds (default: never)."),
        QStringLiteral("seconds"));
    const QCommandLineOption refuseOption(
        QStringLiteral("refuse-for"),
        QStringLiteral("After each drop, close new connections at once for this many seconds."),
        QStringLiteral("seconds"));
    const QCommandLineOption voltageOption(
        QStringLiteral("hv-voltage"),
        QStringLiteral("Voltage the HV modules hold at start (default 0: off)."),
        QStringLiteral("volts"));
    const QCommandLineOption rampOption(
        QStringLiteral("hv-ramp"),
        QStringLiteral("Ramp rate of the HV modules at start, volts per second (default 50)."),
        QStringLiteral("volts/s"));
    const QCommandLineOption targetOption(
        QStringLiteral("hv-target"),
        QStringLiteral("Voltage the HV modules start ramping to, as if told so (default: none)."),
        QStringLiteral("volts"));
    const QCommandLineOption muteOption(
        QStringLiteral("mute"),
        QStringLiteral("Device nodes that take requests but never answer nor report anything, "
                       "as a hung driver (comma-separated, repeatable)."),
        QStringLiteral("node[,node...]"));
    const QCommandLineOption eventsOption(
        QStringLiteral("hv-events"),
        QStringLiteral("Every HV module reports its voltage this many times a second, moving or "
                       "not (default: only while it moves, with the devices' ticks)."),
        QStringLiteral("per second"));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral("The HV module NODE reports the status WORD from SECONDS after the start, "
                       "for +SECONDS or until it is given a set voltage or switched "
                       "(repeatable)."),
        QStringLiteral("NODE=WORD@SECONDS[+SECONDS]"));
    const QCommandLineOption overloadOption(
        QStringLiteral("overload"),
        QStringLiteral("The amplifier NODE's chamber current bursts SECONDS after the start, for "
                       "+SECONDS or for good: the amplifier raises its overload alert "
                       "(repeatable)."),
        QStringLiteral("NODE@SECONDS[+SECONDS]"));
    parser.addOptions({helpOption, versionOption, stationOption, addressOption, portOption,
                       keyOption, ampOption, hvOption, logOption, quitOption, dropOption,
                       refuseOption, voltageOption, rampOption, targetOption, muteOption,
                       eventsOption, faultOption, overloadOption});
    helpText = parser.helpText() + QStringLiteral("\nThe whole description: man tesra-sim");

    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return false;
    }
    help = parser.isSet(helpOption);
    version = parser.isSet(versionOption);

    address = parser.value(addressOption);
    if (!isLoopback(address)) {
        error =
            QStringLiteral("the simulator listens on loopback addresses only, not %1").arg(address);
        return false;
    }
    if (address == QLatin1String("localhost"))
        address = QStringLiteral("127.0.0.1");

    if (parser.isSet(portOption)) {
        bool ok = false;
        port = parser.value(portOption).toInt(&ok, 10);
        if (!ok || port < 0 || port > 65535) {
            error = QStringLiteral("port must be a number from 0 to 65535");
            return false;
        }
    }
    stationFile = parser.value(stationOption);
    keyFile = parser.value(keyOption);
    logPath = parser.value(logOption);
    amplifierNodes = parser.values(ampOption);
    hvNodes = parser.values(hvOption);
    mutedNodes.clear();
    for (const QString &value : parser.values(muteOption)) {
        for (const QString &node : value.split(QLatin1Char(','))) {
            const QString name = node.trimmed();
            if (name.isEmpty()) {
                error = QStringLiteral("--mute takes device node names separated by commas");
                return false;
            }
            mutedNodes.append(name);
        }
    }
    // Both fault options, each into its list.
    auto readFaults = [&parser, &error](const QCommandLineOption &option, bool withWord,
                                        const char *usage, QVector<SimFault> &list) {
        list.clear();
        for (const QString &value : parser.values(option)) {
            SimFault fault;
            if (!parseFault(value, withWord, fault)) {
                error = QStringLiteral("--%1 takes %2, not %3")
                            .arg(option.names().constFirst(), QLatin1String(usage), value);
                return false;
            }
            list.append(fault);
        }
        return true;
    };
    if (!readFaults(faultOption, true, "NODE=WORD@SECONDS[+SECONDS]", faults) ||
        !readFaults(overloadOption, false, "NODE@SECONDS[+SECONDS]", overloads))
        return false;

    // The numeric options, each with the field it sets and what an operator
    // is told when the value will not do. A drop period of 0 would close
    // connections without a pause and a ramp rate of 0 would never move, so
    // those two must be above 0, as must an event rate.
    struct NumberOption
    {
        const QCommandLineOption &option;
        double &value;
        bool aboveZero;
        const char *error;
    };
    const NumberOption numbers[] = {
        {quitOption, quitAfter, false, "--quit-after takes a number of seconds"},
        {dropOption, dropEvery, true, "--drop-every takes a number of seconds above 0"},
        {refuseOption, refuseFor, false, "--refuse-for takes a number of seconds"},
        {voltageOption, hvVoltage, false, "--hv-voltage takes a voltage of 0 or more"},
        {rampOption, hvRampRate, true, "--hv-ramp takes a ramp rate above 0"},
        {targetOption, hvTarget, false, "--hv-target takes a voltage of 0 or more"},
        {eventsOption, hvEventRate, true, "--hv-events takes a rate above 0"},
    };
    for (const NumberOption &number : numbers) {
        if (!parser.isSet(number.option))
            continue;
        double value = 0;
        if (!toNonNegative(parser.value(number.option), value) ||
            (number.aboveZero && value <= 0)) {
            error = QString::fromLatin1(number.error);
            return false;
        }
        number.value = value;
    }
    return true;
}
