// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/AmplifierDevice.h"

#include "client/AnswerWatch.h"
#include "client/Logging.h"
#include "client/SMsg.h"
#include "client/Tesra.h"
#include "client/Values.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <cmath>

namespace {

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// The value queries' words, in the order of AmplifierDevice::Query.
const std::array<QLatin1String, 4> QueryWords = {
    QLatin1String("GetStatus"), QLatin1String("GetRange"),
    QLatin1String("GetCurrentSurpressionValue"), QLatin1String("GetVoltageBiasRange")};

QJsonValue optionalText(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue();
}

// The word of a choice setting for the device's code, or null for a code
// that the setting does not know.
QJsonValue choiceWord(AmpSetting setting, int code)
{
    const QStringList &words = Snapshot::ampSettings().at(int(setting)).choices;
    return code >= 0 && code < words.size() ? QJsonValue(words.at(code)) : QJsonValue();
}

// The messages the amplifier takes: replies come back to the device's own
// sub-name; the amplifier's events are known by their sender, the device
// node. The range and the overload alert are kept in the history.
struct Route
{
    Tesra::MsgSignal signal;
    Tesra::Addressed by;
    void (AmplifierDevice::*handler)(const SMsg &);
    std::optional<Device::Reading> kept;
};

constexpr auto ToSub = Tesra::Addressed::ToSub;
constexpr auto FromNode = Tesra::Addressed::From;

const Route Routes[] = {
    {&Tesra::AnsGetStatus, ToSub, &AmplifierDevice::AnsGetStatus, std::nullopt},
    {&Tesra::AnsGetRange, ToSub, &AmplifierDevice::AnsGetRange, Device::Reading::Range},
    {&Tesra::AnsGetCurrentSurpressionValue, ToSub, &AmplifierDevice::AnsGetCurrentSurpressionValue,
     std::nullopt},
    {&Tesra::AnsGetVoltageBiasRange, ToSub, &AmplifierDevice::AnsGetVoltageBiasRange, std::nullopt},
    {&Tesra::EvRangeChanged, FromNode, &AmplifierDevice::EvRangeChanged, Device::Reading::Range},
    {&Tesra::AnsGetErrorStatus, ToSub, &AmplifierDevice::AnsGetErrorStatus, std::nullopt},
    {&Tesra::AnsGetSRQ, ToSub, &AmplifierDevice::AnsGetSRQ, Device::Reading::Overload},
    {&Tesra::EvSRQChanged, FromNode, &AmplifierDevice::EvSRQChanged, Device::Reading::Overload},
};

// A selector's index as a combo box takes it: one outside its items leaves
// it with no current item.
int selectable(int index, int count)
{
    return index >= 0 && index < count ? index : -1;
}

} // namespace

QString AmplifierDevice::timeConstantLabel(const QString &entry)
{
    constexpr double Milli = 1000.0;
    constexpr double Micro = 1000000.0;
    const double x = entry.toDouble();
    if (x >= 1.0)
        return QStringLiteral("%1s").arg(x, 0, 'g', 6);
    if (x >= 1.0 / Milli)
        return QStringLiteral("%1ms").arg(Milli * x, 0, 'g', 6);
    return QStringLiteral("%1us").arg(Micro * x, 0, 'g', 6);
}

AmplifierDevice::AmplifierDevice(QObject *parent)
    : Device(parent), csprFile(defaultTableFile()), pollTimer(new QTimer(this))
{
    // As the panel's form and its constructor leave the buttons: the
    // suppression in use, the back light high, the table source manual.
    switches.at(size_t(Switch::Suppression)) = true;
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    pollTimer->setInterval(PollIntervalMs);
    connect(pollTimer, &QTimer::timeout, this, &AmplifierDevice::askErrorStatus);
}

AmplifierDevice::~AmplifierDevice()
{
    release();
}

void AmplifierDevice::release()
{
    Device::release();
    pollTimer->stop();
}

void AmplifierDevice::show(Field field)
{
    emit fieldChanged(field);
    emit changed();
}

// ---- configuration ------------------------------------------------------

void AmplifierDevice::setDisplayName(const QString &name)
{
    nameText = name;
    show(Field::DisplayName);
    if (isReady())
        sendDisplayName();
}

void AmplifierDevice::setTimeConstants(const QStringList &table)
{
    // As a selector that is cleared and filled again: emptied, it has no
    // current item; its first entry becomes the current one. Each change of
    // the current item sends as the operator's choice would.
    tcTable = table;
    if (tcChoice != -1) {
        tcChoice = -1;
        show(Field::TimeConstant);
        sendTimeConstant(-1);
    }
    show(Field::TimeConstant);
    if (!tcTable.isEmpty()) {
        tcChoice = 0;
        show(Field::TimeConstant);
        sendTimeConstant(0);
    }
}

void AmplifierDevice::setRanges(const QStringList &table)
{
    const bool hadChoice = rangeChoice != -1;
    rangeTable.clear();
    rangeChoice = -1;
    show(Field::Range);
    if (hadChoice)
        sendRange(-1);
    rangeTable = table;
    show(Field::Range);
    if (!rangeTable.isEmpty()) {
        rangeChoice = 0;
        show(Field::Range);
        sendRange(0);
    }
}

void AmplifierDevice::setTableFile(const QString &fileName)
{
    csprFile = fileName;
    loadTable();
}

void AmplifierDevice::setPollErrors(bool on)
{
    pollErrors = on;
    if (!on)
        pollTimer->stop();
    else if (isReady() && !pollTimer->isActive())
        pollTimer->start();
}

// ---- link ---------------------------------------------------------------

void AmplifierDevice::startLink()
{
    // What the device said on an earlier link may no longer hold.
    asked.fill(0);
    answered.fill(0);
    statusKnown = false;
    lastRange.reset();
    lastSuppression.reset();
    lastBias.reset();
    if (client()) {
        takeMessages();
        subscribe();
    }
    send(QStringLiteral("GetStatus"));
    send(QStringLiteral("GetRange"));
    send(QStringLiteral("GetCurrentSurpressionValue"));
    send(QStringLiteral("GetVoltageBiasRange"));
    send(QStringLiteral("SetSRQMask 01"));
    if (pollErrors && !pollTimer->isActive())
        pollTimer->start();
    emit changed();
}

void AmplifierDevice::takeMessages()
{
    Tesra *tesra = client();
    tesra->StopDelivery(this);
    for (const Route &route : Routes)
        tesra->Deliver(this, route.signal, route.by, addressOf(route.by), route.handler);
    answerWatch()->listen(node());
}

QVector<Device::Recorded> AmplifierDevice::recordedMessages() const
{
    QVector<Recorded> rows;
    for (const Route &route : Routes) {
        if (route.kept)
            rows.append({route.signal, route.by, *route.kept});
    }
    return rows;
}

void AmplifierDevice::send(const QString &command)
{
    if (!client() || !mayGoOut(command))
        return;
    request(command);
    for (int query = 0; query < QueryCount; ++query) {
        if (command == QueryWords.at(query))
            ++asked.at(query);
    }
}

void AmplifierDevice::sendThenStatus(const QString &command)
{
    send(command);
    send(QStringLiteral("GetStatus"));
}

void AmplifierDevice::countAnswer(Query query)
{
    ++answered.at(query);
}

bool AmplifierDevice::awaitsAnswers() const
{
    for (int query = 0; query < QueryCount; ++query) {
        if (answered.at(query) < asked.at(query))
            return true;
    }
    return false;
}

bool AmplifierDevice::hasAnswered() const
{
    for (int count : answered) {
        if (count == 0)
            return false;
    }
    return true;
}

void AmplifierDevice::askValues()
{
    for (const QLatin1String &word : QueryWords)
        send(word);
}

// ---- the controls -------------------------------------------------------

void AmplifierDevice::setSwitch(Switch which, bool on)
{
    if (isOn(which) == on)
        return;
    switches.at(size_t(which)) = on;
    show(Field::Switches);
    switchChanged(which, on);
}

void AmplifierDevice::switchChanged(Switch which, bool on)
{
    // A switch of a pair first turns its partner the other way, whose own
    // change sends first, nested; then it sends its own.
    if (const std::optional<Switch> other = partner(which))
        setSwitch(*other, !on);
    switchAction(which, on);
}

std::optional<AmplifierDevice::Switch> AmplifierDevice::partner(Switch which)
{
    switch (which) {
    case Switch::FilterAuto:
        return Switch::FilterManual;
    case Switch::FilterManual:
        return Switch::FilterAuto;
    case Switch::BiasOn:
        return Switch::BiasOff;
    case Switch::BiasOff:
        return Switch::BiasOn;
    case Switch::RearInput:
        return Switch::FrontInput;
    case Switch::FrontInput:
        return Switch::RearInput;
    default:
        break;
    }
    return std::nullopt;
}

void AmplifierDevice::switchAction(Switch which, bool on)
{
    switch (which) {
    case Switch::ZeroCheck:
        sendZeroCheck(on);
        return;
    case Switch::Suppression:
        sendSuppressionUse(on);
        return;
    case Switch::Filter:
        sendFilterUse(on);
        return;
    case Switch::FilterAuto:
    case Switch::FilterManual:
        sendFilterMode();
        return;
    case Switch::BiasOn:
    case Switch::BiasOff:
        sendBias();
        return;
    case Switch::RearInput:
    case Switch::FrontInput:
        sendInput();
        return;
    case Switch::TableSource:
        applyTableSource(on);
        return;
    }
}

void AmplifierDevice::chooseBackLight(BackLight choice)
{
    if (light == choice)
        return;
    light = choice;
    show(Field::BackLight);
    // The three settings are one exclusive group of buttons: the one that
    // goes off and the one that comes on each send the new setting.
    sendBackLight();
    sendBackLight();
}

void AmplifierDevice::chooseRange(int index)
{
    const int chosen = selectable(index, rangeTable.size());
    if (chosen == rangeChoice)
        return;
    rangeChoice = chosen;
    show(Field::Range);
    sendRange(chosen);
}

void AmplifierDevice::chooseTimeConstant(int index)
{
    const int chosen = selectable(index, tcTable.size());
    if (chosen == tcChoice)
        return;
    tcChoice = chosen;
    show(Field::TimeConstant);
    sendTimeConstant(chosen);
}

void AmplifierDevice::chooseTableEntry(int index)
{
    const int chosen = selectable(index, tableList.size());
    if (chosen == tableChoice)
        return;
    tableChoice = chosen;
    show(Field::TableEntry);
    showTableEntry(chosen);
}

void AmplifierDevice::enterDisplayName(const QString &text)
{
    if (nameText != text) {
        nameText = text;
        show(Field::DisplayName);
    }
    sendDisplayName();
}

void AmplifierDevice::enterSuppressionValue(const QString &text)
{
    if (suppressionText != text) {
        suppressionText = text;
        show(Field::SuppressionEntry);
    }
    sendSuppressionValue();
}

void AmplifierDevice::enterBiasVoltage(const QString &text)
{
    if (biasText != text) {
        biasText = text;
        show(Field::BiasEntry);
    }
    sendBiasVoltage();
}

// ---- commands -----------------------------------------------------------

QString AmplifierDevice::displayCommand(const QString &text)
{
    return QStringLiteral("SetDisplayMsg ") + text;
}

QString AmplifierDevice::suppressionCommand(const QString &text)
{
    // Zero, and any text that is not a (finite) number, sends nothing.
    if (Values::toNumber(text) == 0.0)
        return QString();
    return QStringLiteral("SetCurrentSurpressionValue ") + text;
}

QString AmplifierDevice::biasCommand(const QString &text)
{
    if (text.simplified().isEmpty())
        return QString();
    return QStringLiteral("SetVoltageBiasRange ") + text;
}

void AmplifierDevice::sendDisplayName()
{
    send(displayCommand(nameText));
}

void AmplifierDevice::sendZeroCheck(bool on)
{
    sendThenStatus(QStringLiteral("SetZeroCheck ") + flag(on));
}

void AmplifierDevice::reset()
{
    if (!isReady())
        return;
    sendThenStatus(QStringLiteral("RestorConfig 2"));
}

void AmplifierDevice::sendRange(int index)
{
    if (!isReady())
        return;
    // Only an emptied selector has no current range; there is none to send
    // then.
    if (index < 0 || index >= rangeTable.size()) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("no range at index %1 of RangeSCB").arg(index);
        return;
    }
    sendThenStatus(QStringLiteral("SetRange ") + rangeTable.at(index));
    if (isOn(Switch::TableSource))
        applyTable(index);
}

void AmplifierDevice::sendSuppressionUse(bool on)
{
    sendThenStatus(QStringLiteral("SetCurrentSurpression ") + flag(on));
}

void AmplifierDevice::sendSuppressionValue()
{
    const QString command = suppressionCommand(suppressionText);
    if (command.isEmpty())
        return;
    send(command);
    send(QStringLiteral("GetCurrentSurpressionValue"));
}

void AmplifierDevice::sendFilterUse(bool on)
{
    sendThenStatus(QStringLiteral("SetFilter ") + flag(on));
}

void AmplifierDevice::sendTimeConstant(int index)
{
    if (!isReady())
        return;
    // The selector may point past the table (a status code beyond it leaves
    // no current item); the table is never read there.
    if (index < 0 || index >= tcTable.size()) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("no time constant at index %1 of the TC table").arg(index);
        return;
    }
    sendThenStatus(QStringLiteral("SetFilterDuration ") + tcTable.at(index));
}

void AmplifierDevice::sendFilterMode()
{
    sendThenStatus(QStringLiteral("SetAutoFilter ") + flag(isOn(Switch::FilterAuto)));
}

void AmplifierDevice::sendBias()
{
    sendThenStatus(QStringLiteral("SetVoltageBias ") + flag(isOn(Switch::BiasOn)));
}

void AmplifierDevice::sendBiasVoltage()
{
    const QString command = biasCommand(biasText);
    if (command.isEmpty())
        return;
    send(command);
    send(QStringLiteral("GetVoltageBiasRange"));
}

void AmplifierDevice::sendInput()
{
    sendThenStatus(QStringLiteral("SelectInput ") + flag(isOn(Switch::RearInput)));
}

void AmplifierDevice::sendBackLight()
{
    sendThenStatus(QStringLiteral("SetBacklight ") + QString::number(int(light)));
}

void AmplifierDevice::askStatus()
{
    send(QStringLiteral("GetStatus"));
}

void AmplifierDevice::askErrorStatus()
{
    send(QStringLiteral("GetErrorStatus"));
}

// ---- replies and events -------------------------------------------------

void AmplifierDevice::AnsGetStatus(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    countAnswer(StatusQuery);
    const QString body = decodeStatus(msg.params);
    statusBody = body;
    show(Field::Status);
}

QString AmplifierDevice::decodeStatus(const QString &text)
{
    const CA5350::Status decoded = CA5350::Status::fromText(text);
    if (!decoded.isValid())
        return QString();
    status = decoded;
    statusKnown = true;

    // Each change below runs as the control's change runs, which sends the
    // command back to the device; controls already in the reported state
    // stay silent.
    setSwitch(Switch::ZeroCheck, status.isOne(CA5350::C));
    setSwitch(Switch::Suppression, status.isOne(CA5350::N));
    setSwitch(Switch::Filter, status.isOne(CA5350::P));
    const bool autoFilter = status.isOne(CA5350::Z);
    setSwitch(Switch::FilterAuto, autoFilter);
    setSwitch(Switch::FilterManual, !autoFilter);
    chooseTimeConstant(status.timeConstantIndex());
    const bool biasOn = status.isOne(CA5350::B);
    setSwitch(Switch::BiasOn, biasOn);
    setSwitch(Switch::BiasOff, !biasOn);
    const bool rearInput = status.isOne(CA5350::I);
    setSwitch(Switch::FrontInput, !rearInput);
    setSwitch(Switch::RearInput, rearInput);
    const int backLightCode = status.value(CA5350::A);
    if (backLightCode >= int(BackLight::High) && backLightCode <= int(BackLight::Off))
        chooseBackLight(BackLight(backLightCode));
    return status.body();
}

void AmplifierDevice::AnsGetRange(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    countAnswer(RangeQuery);
    lastRange = msg.params;
    const double range = msg.params.toDouble();
    const int index = CA5350::exactRangeIndex(rangeTable, range);
    if (index < 0) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("can't find the range %1 in RangeSCB").arg(range, 0, 'g', 6);
        emit changed();
        return;
    }
    chooseRange(index);
    emit changed();
}

void AmplifierDevice::AnsGetCurrentSurpressionValue(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    countAnswer(SuppressionQuery);
    lastSuppression = msg.params;
    suppressionShown = msg.params;
    show(Field::SuppressionValue);
}

void AmplifierDevice::AnsGetVoltageBiasRange(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    countAnswer(BiasQuery);
    lastBias = msg.params;
    biasShown = msg.params;
    show(Field::BiasVoltage);
}

void AmplifierDevice::EvRangeChanged(const SMsg &msg)
{
    if (msg.from != node())
        return;
    const double range = msg.params.toDouble();
    // Every item is equally far from a value that is not finite, and the
    // search would settle on the first item and command that range.
    if (!std::isfinite(range)) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("range event with no usable value [%1]").arg(msg.params);
        return;
    }
    lastRange = msg.params;
    const int chosen = CA5350::nearestRangeIndex(rangeTable, range);
    if (chosen != rangeChoice)
        chooseRange(chosen);
    emit changed();
}

void AmplifierDevice::AnsGetSRQ(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    ReceiveSRQ(msg);
}

void AmplifierDevice::EvSRQChanged(const SMsg &msg)
{
    if (msg.from != node())
        return;
    ReceiveSRQ(msg);
}

void AmplifierDevice::ReceiveSRQ(const SMsg &msg)
{
    if (Values::toInteger(msg.params) == 1)
        setAlert(true, QStringLiteral("OVER !!!"));
    else
        setAlert(false, QString());
    // Shown on every report, not only on a change: the panel's alert style
    // replaces whatever style the panel had.
    show(Field::Alert);
}

void AmplifierDevice::AnsGetErrorStatus(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    const CA5350::ErrorStatus error = CA5350::decodeErrorStatus(msg.params);
    if (!error.valid)
        return;
    qCDebug(lcAmplifier).noquote() << "ErrStat" << error.body;
    const QString message =
        error.message ? QCoreApplication::translate("aCA", error.message) : QString();
    setAlert(!message.isEmpty(), message);
    show(Field::Alert);
}

// ---- current-suppression table ------------------------------------------

void AmplifierDevice::loadTable()
{
    if (!csprTable.load(csprFile)) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("Can't open CSpr Table file [%1]").arg(csprFile);
        return;
    }
    // Refilling the selector moves its current item, which puts the first
    // (largest range) entry's value into the suppression value's field.
    tableList.clear();
    if (tableChoice != -1) {
        tableChoice = -1;
        show(Field::TableEntry);
        showTableEntry(-1);
    }
    for (int i = 0; i < csprTable.size(); ++i)
        tableList << CSprTable::itemText(csprTable.at(i));
    show(Field::TableEntry);
    if (!tableList.isEmpty()) {
        tableChoice = 0;
        show(Field::TableEntry);
        showTableEntry(0);
    }
}

void AmplifierDevice::showTableEntry(int index)
{
    if (!csprTable.isIndex(index))
        return;
    suppressionText = CSprTable::valueText(csprTable.at(index).value);
    show(Field::SuppressionEntry);
}

void AmplifierDevice::applyTableSource(bool on)
{
    if (on)
        applyTable(rangeChoice);
}

void AmplifierDevice::applyTable(int rangeIndex)
{
    // Without a current range there is nothing to look up; an empty item
    // text would read as range 0.
    if (rangeIndex < 0 || rangeIndex >= rangeTable.size())
        return;
    const int entry = csprTable.indexOfRange(rangeTable.at(rangeIndex).toDouble());
    if (entry < 0)
        return;
    chooseTableEntry(entry);
    suppressionText = CSprTable::valueText(csprTable.at(entry).value);
    show(Field::SuppressionEntry);
    sendSuppressionValue();
}

void AmplifierDevice::recordTableEntry()
{
    // An entry without a reported value or without a range would read back
    // as a wrong table value, so it is not recorded.
    const QString value = suppressionShown;
    if (value.trimmed().isEmpty() || rangeChoice < 0) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("CSpr Table: no current range or suppression value to record in [%1]")
                   .arg(csprFile);
        emit notice(tr("Set Table: no range or suppression value reported yet; nothing was added "
                       "to %1")
                        .arg(csprFile));
        return;
    }
    // What the device reported may be an error word or a number beyond a
    // double: read back, it would count as 0 and, as the newest row for its
    // range, replace the good value.
    if (!Values::isNumber(value.trimmed())) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("CSpr Table: the suppression value [%1] is not a number; nothing "
                              "recorded in [%2]")
                   .arg(value, csprFile);
        emit notice(tr("Set Table: the suppression value “%1” is not a number; nothing was added "
                       "to %2")
                        .arg(value, csprFile));
        return;
    }
    const QString line =
        CSprTable::entryLine(rangeTable.at(rangeChoice), value, QDateTime::currentDateTime());
    QString reason;
    switch (CSprTable::append(csprFile, line, &reason)) {
    case CSprTable::AppendResult::Appended:
        break;
    case CSprTable::AppendResult::CannotOpen:
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("Can't open CSpr Table file [%1]").arg(csprFile);
        return;
    case CSprTable::AppendResult::CannotWrite:
        // Nothing was added; the table on screen still matches the file.
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("Can't write CSpr Table file [%1]: %2").arg(csprFile, reason);
        return;
    }
    loadTable();
}

// ---- snapshots ----------------------------------------------------------

QJsonValue AmplifierDevice::reported(int setting) const
{
    switch (AmpSetting(setting)) {
    case AmpSetting::Range:
        return optionalText(lastRange);
    case AmpSetting::SuppressionValue:
        return optionalText(lastSuppression);
    case AmpSetting::BiasVoltage:
        return optionalText(lastBias);
    default:
        break;
    }
    if (!statusKnown)
        return QJsonValue();
    switch (AmpSetting(setting)) {
    case AmpSetting::ZeroCheck:
        return Snapshot::flag(status.isOne(CA5350::C));
    case AmpSetting::Suppression:
        return Snapshot::flag(status.isOne(CA5350::N));
    case AmpSetting::Filter:
        return Snapshot::flag(status.isOne(CA5350::P));
    case AmpSetting::Bias:
        return Snapshot::flag(status.isOne(CA5350::B));
    case AmpSetting::TimeConstant: {
        const int index = status.timeConstantIndex();
        return index < tcTable.size() ? QJsonValue(tcTable.at(index)) : QJsonValue();
    }
    case AmpSetting::FilterMode:
        return choiceWord(AmpSetting::FilterMode, status.isOne(CA5350::Z) ? 1 : 0);
    case AmpSetting::Input:
        return choiceWord(AmpSetting::Input, status.isOne(CA5350::I) ? 1 : 0);
    case AmpSetting::BackLight:
        return choiceWord(AmpSetting::BackLight, status.value(CA5350::A));
    default:
        break;
    }
    return QJsonValue();
}

Device::Restore AmplifierDevice::restoreOf(int setting) const
{
    return setting >= 0 && setting < settings().size() ? Restore::Send : Restore::Never;
}

bool AmplifierDevice::put(int setting, const QJsonValue &value)
{
    if (restoreOf(setting) != Restore::Send)
        return false;
    const SnapshotSetting &entry = settings().at(setting);
    const QString text = value.toString();
    const int choice = entry.choices.indexOf(text);
    switch (AmpSetting(setting)) {
    case AmpSetting::Range:
        return putChoice(rangeTable.size(), rangeChoice,
                         CA5350::exactRangeIndex(rangeTable, text.toDouble()),
                         &AmplifierDevice::chooseRange, &AmplifierDevice::sendRange);
    case AmpSetting::TimeConstant: {
        int index = -1;
        for (int i = 0; i < tcTable.size() && index < 0; ++i) {
            if (value.isString() && Snapshot::sameValue(entry, tcTable.at(i), value))
                index = i;
        }
        return putChoice(tcTable.size(), tcChoice, index, &AmplifierDevice::chooseTimeConstant,
                         &AmplifierDevice::sendTimeConstant);
    }
    case AmpSetting::ZeroCheck:
        return putSwitch(Switch::ZeroCheck, value);
    case AmpSetting::Suppression:
        return putSwitch(Switch::Suppression, value);
    case AmpSetting::Filter:
        return putSwitch(Switch::Filter, value);
    case AmpSetting::Bias:
        return putSwitch(Switch::BiasOn, value);
    case AmpSetting::FilterMode:
        return choice >= 0 && putSwitch(Switch::FilterAuto, Snapshot::flag(choice == 1));
    case AmpSetting::Input:
        return choice >= 0 && putSwitch(Switch::RearInput, Snapshot::flag(choice == 1));
    case AmpSetting::BackLight:
        if (choice < int(BackLight::High) || choice > int(BackLight::Off))
            return false;
        // The button of the setting is checked, or, when it is already, its
        // change is run as checking it would run it.
        if (light != BackLight(choice))
            chooseBackLight(BackLight(choice));
        else
            sendBackLight();
        return true;
    case AmpSetting::SuppressionValue:
        // The field sends nothing for 0, so neither can a restore.
        if (!value.isString() || Values::toNumber(text) == 0.0)
            return false;
        enterSuppressionValue(text);
        return true;
    case AmpSetting::BiasVoltage:
        if (!value.isString() || text.simplified().isEmpty())
            return false;
        enterBiasVoltage(text);
        return true;
    }
    return false;
}

bool AmplifierDevice::putSwitch(Switch which, const QJsonValue &value)
{
    if (!value.isBool())
        return false;
    const bool on = value.toBool();
    // The switch is set, or, when it shows the value already, what its
    // change sends is sent as the change would send it.
    if (isOn(which) != on)
        setSwitch(which, on);
    else
        switchAction(which, on);
    return true;
}

bool AmplifierDevice::putChoice(int count, int current, int index,
                                void (AmplifierDevice::*choose)(int),
                                void (AmplifierDevice::*sendChoice)(int))
{
    if (index < 0 || index >= count)
        return false;
    if (current != index)
        (this->*choose)(index);
    else
        (this->*sendChoice)(index);
    return true;
}
