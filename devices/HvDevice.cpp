// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/HvDevice.h"

#include "alarms/ModuleAlarms.h"
#include "client/AnswerWatch.h"
#include "client/Logging.h"
#include "client/SMsg.h"
#include "client/Tesra.h"
#include "client/Values.h"

#include <QtMath>

namespace {

// A limit reply is a percentage; the device keeps it as a fraction.
constexpr double Percent = 100.0;

// The value queries, in the order they go out on a ready link.
const QLatin1String ValueQueries[] = {QLatin1String("GetMaxV"),  QLatin1String("GetVLimit"),
                                      QLatin1String("GetV"),     QLatin1String("GetRamp"),
                                      QLatin1String("GetStat1"), QLatin1String("IsControllable")};

// The messages the module takes. Its replies and its events alike are
// addressed to the device's own sub-name, so that is where the client
// delivers them; ramp-rate changes made elsewhere show up just like a
// GetRamp reply. The voltage and the status are kept in the history.
struct Route
{
    Tesra::MsgSignal signal;
    void (HvDevice::*handler)(const SMsg &);
    std::optional<Device::Reading> kept;
};

const Route Routes[] = {
    {&Tesra::AnsGetMaxV, &HvDevice::AnsGetMaxV, std::nullopt},
    {&Tesra::AnsGetVLimit, &HvDevice::AnsGetVLimit, std::nullopt},
    {&Tesra::AnsGetV, &HvDevice::AnsGetV, Device::Reading::Voltage},
    {&Tesra::AnsGetRamp, &HvDevice::AnsGetRamp, std::nullopt},
    {&Tesra::AnsGetStat1, &HvDevice::AnsGetStat1, Device::Reading::Status},
    {&Tesra::AnsIsControllable, &HvDevice::AnsIsControllable, std::nullopt},
    {&Tesra::EvChangedOnOff, &HvDevice::ChangedOnOff, std::nullopt},
    {&Tesra::EvChangedStat, &HvDevice::ChangedStat, Device::Reading::Status},
    {&Tesra::EvChangedValue, &HvDevice::ChangedValue, Device::Reading::Voltage},
    {&Tesra::EvChangedRampRate, &HvDevice::ChangedRampRate, std::nullopt},
};

} // namespace

HvDevice::HvDevice(QObject *parent) : Device(parent) {}

HvDevice::~HvDevice()
{
    release();
}

void HvDevice::show(Field field)
{
    emit fieldChanged(field);
    emit changed();
}

// ---- configuration ------------------------------------------------------

void HvDevice::setVoltageList(const QStringList &voltages)
{
    const QStringList added = voltages.isEmpty() ? QStringList{QStringLiteral("0")} : voltages;
    for (const QString &voltage : added) {
        // As a box that takes its first entry: it becomes the current one.
        const bool wasEmpty = box.entries.isEmpty();
        box.entries << voltage;
        show(Field::SetV);
        if (wasEmpty)
            chooseSetV(0);
    }
}

void HvDevice::selectVoltage(const QString &voltage)
{
    const int index = box.entries.indexOf(voltage);
    chooseSetV(index < 0 ? 0 : index);
}

void HvDevice::setVoltageEditable(bool editable)
{
    // Either way the box shows its current entry's text afterwards.
    box.editable = editable;
    box.text = box.entries.value(box.index);
    show(Field::SetV);
}

void HvDevice::chooseSetV(int index)
{
    // As a box's current entry is set: an index outside the list leaves no
    // entry current, and the text becomes the entry's, typed text or not.
    box.index = index >= 0 && index < box.entries.size() ? index : -1;
    box.text = box.entries.value(box.index);
    show(Field::SetV);
}

// ---- the operator's fields ----------------------------------------------

void HvDevice::takeStatusText(const QString &text)
{
    statusShown = text;
}

void HvDevice::takeVoltageText(const QString &text)
{
    voltageShown = text;
}

void HvDevice::takeRampText(const QString &text)
{
    rampShown = text;
}

void HvDevice::takeSetV(const QStringList &entries, int index, const QString &text)
{
    box.entries = entries;
    box.index = index;
    box.text = text;
    emit changed();
}

bool HvDevice::fillSetV(const QString &voltage)
{
    // Nothing is applied: the end of an edit is what applies, and this is
    // none.
    if (box.editable) {
        box.text = voltage;
        show(Field::SetV);
    } else if (const int index = box.entries.indexOf(voltage); index >= 0) {
        chooseSetV(index);
    }
    return box.text == voltage;
}

// ---- link ---------------------------------------------------------------

void HvDevice::startLink()
{
    if (!client())
        return;
    // What the module said on an earlier link may no longer hold.
    lastMaxV.reset();
    lastVLimit.reset();
    lastV.reset();
    lastRamp.reset();
    lastStat.reset();
    takeMessages();
    subscribe();
    askValues();
    emit changed();
}

void HvDevice::reportKindAlarms(ModuleAlarms *alarms)
{
    connect(this, &Device::changed, alarms, [this, alarms] {
        alarms->hvState(statusShown, voltageShown, values.vApplied, appliedV);
    });
}

void HvDevice::takeMessages()
{
    Tesra *tesra = client();
    tesra->StopDelivery(this);
    for (const Route &route : Routes)
        tesra->Deliver(this, route.signal, Tesra::Addressed::ToSub, address().id, route.handler);
    answerWatch()->listen(node());
}

QVector<Device::Recorded> HvDevice::recordedMessages() const
{
    QVector<Recorded> rows;
    for (const Route &route : Routes) {
        if (route.kept)
            rows.append({route.signal, Tesra::Addressed::ToSub, *route.kept});
    }
    return rows;
}

void HvDevice::askValues()
{
    for (const QLatin1String &query : ValueQueries)
        request(query);
}

// ---- the operator's actions ---------------------------------------------

void HvDevice::newSetV()
{
    if (!client())
        return;
    if (values.vApplied)
        applySetV();
}

void HvDevice::newRampRate()
{
    if (!client())
        return;
    sendRamp();
}

void HvDevice::hvOnOff()
{
    // While nothing can go out, the device's state must not change as if it
    // had.
    if (!client() || !mayGoOut(QStringLiteral("SetV")))
        return;
    if (values.vApplied) {
        // Ramping down does not depend on what the module reports.
        sendRamp();
        request(QStringLiteral("SetV"), QStringLiteral("0"));
        values.vApplied = false;
        appliedV = 0;
        emit changed();
        return;
    }
    applySetV();
}

void HvDevice::applySetV()
{
    if (!HVRules::acceptsSetVoltage(statusShown))
        return;
    const QString text = box.text;
    const double voltage = Values::toNumber(text);
    if (HVRules::aboveUsableMaximum(voltage, reportedMaxV, reportedVLimit)) {
        // The module would hold it at its limit while it was shown as
        // applied: nothing goes out and vApplied stays as it is.
        qCDebug(lcHv).noquote() << QStringLiteral(
                                       "%1: SetV %2 refused: above the usable maximum of %3 V")
                                       .arg(address().id, text.trimmed(),
                                            HVRules::formatVoltage(HVRules::usableMaximum(
                                                reportedMaxV, reportedVLimit)));
        emit setVRefused();
        return;
    }
    sendRamp();
    request(QStringLiteral("SetV"), HVRules::formatVoltage(qAbs(voltage)));
    values.vApplied = voltage != 0.0;
    appliedV = qAbs(voltage);
    emit changed();
}

void HvDevice::sendRamp()
{
    request(QStringLiteral("SetRamp"), rampShown);
}

// ---- replies and events -------------------------------------------------

void HvDevice::AnsGetMaxV(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    lastMaxV = msg.params;
    values.maxV = HVRules::toModuleValue(msg.params);
    showMaxV();
}

void HvDevice::AnsGetVLimit(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    lastVLimit = msg.params;
    values.vLimit = HVRules::toModuleValue(msg.params) / Percent;
    showMaxV();
}

void HvDevice::AnsGetV(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    lastV = msg.params;
    voltageShown = msg.params;
    show(Field::Voltage);
}

void HvDevice::AnsGetStat1(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    lastStat = msg.params.simplified();
    statusShown = *lastStat;
    show(Field::Status);
    setStatColor(msg.params);
}

void HvDevice::AnsGetRamp(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    lastRamp = msg.params;
    rampShown = msg.params;
    show(Field::RampRate);
}

void HvDevice::AnsIsControllable(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    controllable = HVRules::isSwitchedOn(msg.params);
    show(Field::Controllable);
}

void HvDevice::ChangedOnOff(const SMsg &msg)
{
    AnsIsControllable(msg);
}

void HvDevice::ChangedStat(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    lastStat = msg.params;
    statusShown = msg.params;
    show(Field::Status);
    setStatColor(msg.params);
}

void HvDevice::ChangedValue(const SMsg &msg)
{
    if (!isMine(msg))
        return;
    lastV = msg.params;
    voltageShown = msg.params;
    show(Field::Voltage);
    setStatColor(statusShown);
}

void HvDevice::ChangedRampRate(const SMsg &msg)
{
    AnsGetRamp(msg);
}

void HvDevice::setStatColor(const QString &status)
{
    const HVRules::StatusColour now =
        HVRules::statusColour(status, voltageShown, values.voltageTolerance);
    // The alert follows the word even while the colour stays red, as one
    // fault word follows another (or a word follows a voltage that came
    // first); setAlert tells only of a change.
    const bool fault = now == HVRules::StatusColour::Red;
    setAlert(fault, fault ? status.simplified() : QString());
    // Every value event comes here: only a change is news.
    if (colour == now)
        return;
    colour = now;
    show(Field::StatusColour);
}

void HvDevice::showMaxV()
{
    reportedMaxV = values.maxV;
    reportedVLimit = values.vLimit;
    maxVShown = HVRules::formatVoltage(HVRules::usableMaximum(values.maxV, values.vLimit));
    show(Field::MaxV);
}

// ---- snapshots ----------------------------------------------------------

QJsonValue HvDevice::reported(int setting) const
{
    std::optional<QString> text;
    switch (HvSetting(setting)) {
    case HvSetting::SetV:
        text = box.text;
        break;
    case HvSetting::RampRate:
        text = lastRamp;
        break;
    case HvSetting::Status:
        text = lastStat;
        break;
    case HvSetting::Voltage:
        text = lastV;
        break;
    case HvSetting::MaxV:
        text = lastMaxV;
        break;
    case HvSetting::VLimit:
        text = lastVLimit;
        break;
    }
    return text ? QJsonValue(*text) : QJsonValue();
}

Device::Restore HvDevice::restoreOf(int setting) const
{
    return HvSetting(setting) == HvSetting::SetV ? Restore::FillIn : Restore::Never;
}

bool HvDevice::put(int setting, const QJsonValue &value)
{
    if (restoreOf(setting) != Restore::FillIn || !value.isString())
        return false;
    return fillSetV(value.toString());
}
