// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimStation.h"

#include "TestSupport.h"

SimStation::SimStation()
    : amp(std::make_unique<AmplifierModel>("ca.1", AmplifierModel::defaultTimeConstants(),
                                           decades())),
      module(std::make_unique<HvModel>("hvps.2"))
{
    valid = folder.isValid() && fake.listen();
    fake.setResponder([this](const QString &line) { return answer(line); });
}

QStringList SimStation::decades()
{
    QStringList out;
    for (int e = 3; e <= 11; ++e)
        out.append(QStringLiteral("1e-%1").arg(e));
    return out;
}

QString SimStation::writeStation()
{
    const QByteArray body =
        "TCTables=TC\nRangeTables=R\nHV Module Names=H\nAMP Module Names=A\n"
        "IC Module Names=C\n[TC]\nTable=" +
        AmplifierModel::defaultTimeConstants().join(", ").toUtf8() +
        "\n[R]\nTable=" + decades().join(", ").toUtf8() +
        "\n[H]\nid=hv1\ndriver=hvps\nch=2\nDefault Voltage=100, 200\nDefault Select=100\n"
        "[A]\nid=amp1\ndriver=ca\nch=1\nTC Table=TC\nRange Table=R\n"
        "[C]\nHV Unit id=hv1\nAMP Unit id=amp1\n";
    return TestSupport::writeStation(folder, QString::number(fake.port()), body);
}

QStringList SimStation::changeAmplifier(const QStringList &commands)
{
    QStringList events;
    for (const QString &command : commands) {
        DeviceEvents raised;
        amp->handle(command.section(' ', 0, 0), command.section(' ', 1), raised);
        for (const DeviceEvent &event : qAsConst(raised))
            events << QStringLiteral("ca.1>Brenlow.amp1 %1 %2").arg(event.word, event.params);
    }
    return events;
}

QStringList SimStation::answer(const QString &line)
{
    // "Brenlow.amp1>ca.1 Word params"
    const int blank = line.indexOf(QLatin1Char(' '));
    const QString head = line.left(blank);
    const QString from = head.section(QLatin1Char('>'), 0, 0);
    const QString to = head.section(QLatin1Char('>'), 1);
    const QString rest = blank < 0 ? QString() : line.mid(blank + 1);
    const QString word = rest.section(QLatin1Char(' '), 0, 0);
    const QString params = rest.section(QLatin1Char(' '), 1);
    SimDevice *device = nullptr;
    if (to == amp->node())
        device = amp.get();
    else if (to == module->node() && !hvSilent)
        device = module.get();
    if (!device)
        return {};
    DeviceEvents events;
    const QString reply = device->handle(word, params, events);
    QStringList lines{QStringLiteral("%1>%2 @%3 %4").arg(to, from, word, reply)};
    for (const DeviceEvent &event : qAsConst(events))
        lines << QStringLiteral("%1>%2 %3 %4").arg(to, from, event.word, event.params);
    return lines;
}
