// SPDX-License-Identifier: GPL-3.0-or-later
#include "hv/aHV.h"

#include "client/AnswerWatch.h"
#include "client/Logging.h"
#include "client/Tesra.h"
#include "client/Values.h"
#include "devices/HVRules.h"
#include "hv/SetVGuard.h"
#include "widgets/LatestText.h"
#include "widgets/LinkGuard.h"
#include "widgets/PanelNotice.h"
#include "widgets/QtCompat.h"
#include "widgets/SilenceBadge.h"
#include "widgets/UnsentEdits.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtMath>

namespace {

// The value field is repainted at most ten times a second: the newest value
// is on screen within 100 ms, and no one reads a number faster.
constexpr int DisplayIntervalMs = 100;

} // namespace

aHV::aHV(QWidget *parent) : QWidget(parent)
{
    ui.setupUi(this);

    connect(QtCompat::editEnd(ui.RampRate), &QtCompat::EditEnd::finished, this, &aHV::newRampRate);
    watchSetVEdit();
    connect(ui.Start, &QPushButton::clicked, this, &aHV::hvOnOff);

    ui.HideBox->setVisible(ui.ShowDetailsB->isChecked());
    connect(ui.ShowDetailsB, &QCheckBox::toggled, ui.HideBox, &QWidget::setVisible);

    // Until the module says it may be driven from here, Start does nothing.
    ui.Start->setEnabled(false);

    linkGuard = new LinkGuard(this);
    linkGuard->addControls({ui.Start, ui.SetV, ui.RampRate});
    linkGuard->addValues({ui.NowV, ui.Stat, ui.MaxV});
    nowV = new LatestText(ui.NowV, this, DisplayIntervalMs);
    setVGuard = new SetVGuard(ui.SetV, this);
    answerWatch = new AnswerWatch(this);
    silenceBadge = new SilenceBadge(this, answerWatch);
    notices = new PanelNotice(this);
    unsent = new UnsentEdits(notices, this);
}

aHV::~aHV()
{
    releaseClient();
}

void aHV::releaseClient()
{
    if (client) {
        client->StopDelivery(this);
        disconnect(client, nullptr, this, nullptr);
    }
    client = nullptr;
    answerWatch->release();
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        disconnect(child, nullptr, this, nullptr);
}

void aHV::setClient(Tesra *tesra)
{
    if (!tesra)
        return;
    client = tesra;
    linkGuard->follow(client);
    answerWatch->follow(client);
    unsent->follow(client);
    connect(client, &Tesra::ConnectionIsReady, this, &aHV::tesraIsReady, Qt::UniqueConnection);
    // The replies and events reach the panel through the client's delivery,
    // which tesraIsReady sets up with the panel's address.
}

void aHV::setVoltageList(const QStringList &voltages)
{
    if (voltages.isEmpty()) {
        ui.SetV->addItem(QStringLiteral("0"));
        return;
    }
    for (const QString &voltage : voltages)
        ui.SetV->addItem(voltage);
}

void aHV::selectVoltage(const QString &voltage)
{
    const int index = ui.SetV->findText(voltage, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui.SetV->setCurrentIndex(index < 0 ? 0 : index);
}

void aHV::setVoltageEditable(bool editable)
{
    ui.SetV->setEditable(editable);
    // Making the box editable gives it a new line edit, which has to be
    // watched like the one of the form.
    watchSetVEdit();
}

void aHV::tesraIsReady(Tesra *)
{
    if (!client)
        return;
    // What the module said on an earlier link may no longer hold.
    lastMaxV.reset();
    lastVLimit.reset();
    lastV.reset();
    lastRamp.reset();
    lastStat.reset();
    const QString node = devCh();
    takeMessages();
    client->SendMsg(id, QStringLiteral("System"), QStringLiteral("flgon"), node);
    sendToModule(QStringLiteral("GetMaxV"));
    sendToModule(QStringLiteral("GetVLimit"));
    sendToModule(QStringLiteral("GetV"));
    sendToModule(QStringLiteral("GetRamp"));
    sendToModule(QStringLiteral("GetStat1"));
    sendToModule(QStringLiteral("IsControllable"));
}

void aHV::takeMessages()
{
    // The module's replies and its events alike are addressed to the panel's
    // own sub-name, so that is where the client delivers them. Ramp-rate
    // changes made elsewhere show up here just like a GetRamp reply.
    client->StopDelivery(this);
    const auto to = Tesra::Addressed::ToSub;
    client->Deliver(this, &Tesra::AnsGetMaxV, to, id, &aHV::AnsGetMaxV);
    client->Deliver(this, &Tesra::AnsGetVLimit, to, id, &aHV::AnsGetVLimit);
    client->Deliver(this, &Tesra::AnsGetV, to, id, &aHV::AnsGetV);
    client->Deliver(this, &Tesra::AnsGetRamp, to, id, &aHV::AnsGetRamp);
    client->Deliver(this, &Tesra::AnsGetStat1, to, id, &aHV::AnsGetStat1);
    client->Deliver(this, &Tesra::AnsIsControllable, to, id, &aHV::AnsIsControllable);
    client->Deliver(this, &Tesra::EvChangedOnOff, to, id, &aHV::ChangedOnOff);
    client->Deliver(this, &Tesra::EvChangedStat, to, id, &aHV::ChangedStat);
    client->Deliver(this, &Tesra::EvChangedValue, to, id, &aHV::ChangedValue);
    client->Deliver(this, &Tesra::EvChangedRampRate, to, id, &aHV::ChangedRampRate);
    answerWatch->listen(devCh());
}

QString aHV::devCh()
{
    return SMsg::joinName(driver, ch);
}

bool aHV::checkMine(const SMsg &msg)
{
    return msg.toSub == id;
}

void aHV::newSetV()
{
    if (!client || !vApplied)
        return;
    if (unsent->mayFinish(ui.SetV->lineEdit(), QStringLiteral("SetV ") + ui.SetV->currentText()))
        applySetV();
}

void aHV::newRampRate()
{
    if (!client)
        return;
    if (unsent->mayFinish(ui.RampRate, QStringLiteral("SetRamp ") + ui.RampRate->text()))
        sendRamp();
}

void aHV::hvOnOff()
{
    // While nothing can go out, the panel's state must not change as if it
    // had.
    if (!client || !linkGuard->letsThrough(QStringLiteral("SetV")))
        return;
    if (vApplied) {
        // Ramping down does not depend on what the module reports.
        sendRamp();
        sendToModule(QStringLiteral("SetV"), QStringLiteral("0"));
        vApplied = false;
        return;
    }
    applySetV();
}

void aHV::AnsGetMaxV(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    lastMaxV = msg.params;
    maxV = HVRules::toModuleValue(msg.params);
    showMaxV();
}

void aHV::AnsGetVLimit(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    lastVLimit = msg.params;
    vLimit = HVRules::toModuleValue(msg.params) / 100.0;
    showMaxV();
}

void aHV::AnsGetV(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    lastV = msg.params;
    nowV->setText(msg.params);
}

void aHV::AnsGetStat1(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    lastStat = msg.params.simplified();
    ui.Stat->setText(*lastStat);
    setStatColor(msg.params);
}

void aHV::AnsGetRamp(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    lastRamp = msg.params;
    ui.RampRate->setText(msg.params);
}

void aHV::AnsIsControllable(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    linkGuard->setOwnEnabled(ui.Start, HVRules::isSwitchedOn(msg.params));
}

void aHV::ChangedOnOff(const SMsg &msg)
{
    AnsIsControllable(msg);
}

void aHV::ChangedStat(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    lastStat = msg.params;
    ui.Stat->setText(msg.params);
    setStatColor(msg.params);
}

void aHV::ChangedValue(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    lastV = msg.params;
    nowV->setText(msg.params);
    setStatColor(ui.Stat->text());
}

void aHV::ChangedRampRate(const SMsg &msg)
{
    AnsGetRamp(msg);
}

QJsonValue aHV::reported(HvSetting setting) const
{
    std::optional<QString> text;
    switch (setting) {
    case HvSetting::SetV:
        text = ui.SetV->currentText();
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

bool aHV::fillSetV(const QString &voltage)
{
    // Neither an edit text nor a new current entry reaches newSetV, which
    // follows the end of an edit only.
    ui.SetV->setCurrentText(voltage);
    return ui.SetV->currentText() == voltage;
}

void aHV::applySetV()
{
    if (!HVRules::acceptsSetVoltage(ui.Stat->text()))
        return;
    const QString text = ui.SetV->currentText();
    const double voltage = Values::toNumber(text);
    if (setVGuard->isAbove(voltage)) {
        // The module would hold it at its limit while the panel showed it as
        // applied: nothing goes out and vApplied stays as it is.
        setVGuard->markRefused();
        qCDebug(lcHv).noquote() << QStringLiteral("%1: SetV %2 refused: above the usable "
                                                  "maximum of %3 V")
                                       .arg(id, text.trimmed(), setVGuard->maximumText());
        return;
    }
    sendRamp();
    sendToModule(QStringLiteral("SetV"), HVRules::formatVoltage(qAbs(voltage)));
    vApplied = voltage != 0.0;
}

void aHV::setStatColor(const QString &status)
{
    // Setting a style sheet re-polishes the button even when the text is the
    // same, and every value event comes here: only a change of colour is
    // applied. The button's own style sheet is what is compared, so nothing
    // else has to be kept in step with it.
    const QString &style = HVRules::statusStyle(status, nowV->text(), voltageTolerance);
    if (ui.Start->styleSheet() != style)
        ui.Start->setStyleSheet(style);
}

void aHV::showMaxV()
{
    ui.MaxV->setText(HVRules::formatVoltage(HVRules::usableMaximum(maxV, vLimit)));
    setVGuard->setModuleLimits(maxV, vLimit);
}

void aHV::sendToModule(const QString &message, const QString &params)
{
    if (client && linkGuard->letsThrough(message) && client->SendMsg(id, devCh(), message, params))
        answerWatch->requestSent();
}

void aHV::sendRamp()
{
    sendToModule(QStringLiteral("SetRamp"), ui.RampRate->text());
}

void aHV::watchSetVEdit()
{
    if (QLineEdit *edit = ui.SetV->lineEdit())
        connect(QtCompat::editEnd(edit), &QtCompat::EditEnd::finished, this, &aHV::newSetV,
                Qt::UniqueConnection);
}
