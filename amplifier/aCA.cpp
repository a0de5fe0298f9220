// SPDX-License-Identifier: GPL-3.0-or-later
#include "amplifier/aCA.h"

#include "client/AnswerWatch.h"
#include "client/Logging.h"
#include "client/Tesra.h"
#include "client/Values.h"
#include "devices/CA5350Status.h"
#include "devices/Colours.h"
#include "widgets/LinkGuard.h"
#include "widgets/PanelNotice.h"
#include "widgets/QtCompat.h"
#include "widgets/SilenceBadge.h"
#include "widgets/UnsentEdits.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QResizeEvent>
#include <QTimer>
#include <array>
#include <cmath>

namespace {

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// The value queries' words, in the order of aCA::Query.
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

// A time-constant entry in seconds as the selector shows it: 300us, 10ms, 2s.
QString timeConstantLabel(const QString &entry)
{
    const double x = entry.toDouble();
    if (x >= 1.0)
        return QStringLiteral("%1s").arg(x, 0, 'g', 6);
    if (x >= 0.001)
        return QStringLiteral("%1ms").arg(1000.0 * x, 0, 'g', 6);
    return QStringLiteral("%1us").arg(1000000.0 * x, 0, 'g', 6);
}

} // namespace

aCA::aCA() : QWidget(nullptr, Qt::WindowFlags())
{
    ui.setupUi(this);

    backLightGroup = new QButtonGroup(this);
    backLightGroup->addButton(ui.BackLightHB);
    backLightGroup->addButton(ui.BackLightLB);
    backLightGroup->addButton(ui.BackLightOffB);

    ui.CSprUseB->setChecked(true);
    ui.CSprUseBox->setEnabled(true);

    csprFile = QStringLiteral("CSprTable.txt");

    ui.FilterUseB->setChecked(false);
    ui.FilterUseBox->setEnabled(false);

    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    pollTimer->setInterval(500);
    connect(pollTimer, &QTimer::timeout, this, &aCA::doPolling);

    connect(QtCompat::editEnd(ui.ModuleName), &QtCompat::EditEnd::finished, this, &aCA::sendMyName);
    connect(ui.ZeroCheckB, &QAbstractButton::toggled, this, &aCA::selectedZeroCheck);
    connect(ui.ResetB, &QAbstractButton::clicked, this, &aCA::reset);
    connect(ui.RangeSCB, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &aCA::selectedNewRange);
    connect(ui.CSprUseB, &QAbstractButton::toggled, this, &aCA::selectedCSprUse);
    connect(QtCompat::editEnd(ui.NewCSprEdit), &QtCompat::EditEnd::finished, this, &aCA::newCSpr);
    connect(ui.FilterUseB, &QAbstractButton::toggled, this, &aCA::selectedFilterUse);
    keepOpposite(ui.FilterAutoB, ui.FilterManualB);
    connect(ui.FilterAutoB, &QAbstractButton::toggled, this, &aCA::changeFilterMode);
    connect(ui.FilterManualB, &QAbstractButton::toggled, this, &aCA::changeFilterMode);
    connect(ui.SelectTCCB, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &aCA::selectedNewTC);
    keepOpposite(ui.VBiasOnB, ui.VBiasOffB);
    connect(ui.VBiasOnB, &QAbstractButton::toggled, this, &aCA::changedVBiasMode);
    connect(ui.VBiasOffB, &QAbstractButton::toggled, this, &aCA::changedVBiasMode);
    connect(QtCompat::editEnd(ui.NewVBias), &QtCompat::EditEnd::finished, this, &aCA::newVBias);
    keepOpposite(ui.SelInputRB, ui.SelInputFB);
    connect(ui.SelInputRB, &QAbstractButton::toggled, this, &aCA::selectedInput);
    connect(ui.SelInputFB, &QAbstractButton::toggled, this, &aCA::selectedInput);
    connect(ui.BackLightHB, &QAbstractButton::toggled, this, &aCA::selectedBackLightMode);
    connect(ui.BackLightLB, &QAbstractButton::toggled, this, &aCA::selectedBackLightMode);
    connect(ui.BackLightOffB, &QAbstractButton::toggled, this, &aCA::selectedBackLightMode);
    connect(ui.ShowStatB, &QAbstractButton::clicked, this, &aCA::askShowStat);
    connect(ui.CSprFromTBLB, &QAbstractButton::toggled, this, &aCA::selectedCSprFromTable);
    connect(ui.CSprTBLCB, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &aCA::changedCSprTableIndex);
    connect(ui.SetCSprTableB, &QAbstractButton::clicked, this, &aCA::setAValToCSprTable);

    ui.CSprLoadDefB->setEnabled(false);

    showDetails(ui.ShowDetailsB->isChecked());
    connect(ui.ShowDetailsB, &QAbstractButton::toggled, this, &aCA::showDetails);

    alertStyle = Colours::background(Colours::Colour::AmplifierAlert);
    setStyleSheet(normalStyle);

    // Everything that sends a command, or writes a value into the
    // suppression table; Show Details only changes the view. The two boxes
    // that the panel enables by its own rules are not guarded themselves,
    // only the controls inside them.
    linkGuard = new LinkGuard(this);
    linkGuard->addControls(
        {ui.ModuleName,  ui.ZeroCheckB,  ui.ResetB,        ui.RangeSCB,      ui.CSprUseB,
         ui.NewCSprEdit, ui.FilterUseB,  ui.FilterAutoB,   ui.FilterManualB, ui.SelectTCCB,
         ui.VBiasOnB,    ui.VBiasOffB,   ui.NewVBias,      ui.SelInputRB,    ui.SelInputFB,
         ui.BackLightHB, ui.BackLightLB, ui.BackLightOffB, ui.ShowStatB,     ui.CSprFromTBLB,
         ui.CSprManualB, ui.CSprTBLCB,   ui.SetCSprTableB, ui.SaveCSprDefB,  ui.CSprLoadDefB});
    linkGuard->addValues({ui.StatDisp, ui.NowCSprDisp, ui.NowVBias, ui.DispErr});
    answerWatch = new AnswerWatch(this);
    silenceBadge = new SilenceBadge(this, answerWatch);
    notices = new PanelNotice(this);
    unsent = new UnsentEdits(notices, this);
}

aCA::~aCA()
{
    releaseClient();
}

void aCA::releaseClient()
{
    if (client) {
        client->StopDelivery(this);
        disconnect(client, nullptr, this, nullptr);
    }
    client = nullptr;
    ready = false;
    pollTimer->stop();
    answerWatch->release();
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        disconnect(child, nullptr, this, nullptr);
}

void aCA::setClient(Tesra *c)
{
    if (!c)
        return;
    client = c;
    linkGuard->follow(client);
    answerWatch->follow(client);
    unsent->follow(client);
    connect(client, &Tesra::ConnectionIsReady, this, &aCA::tesraIsReady, Qt::UniqueConnection);
    // The replies and events reach the panel through the client's delivery,
    // which tesraIsReady sets up with the panel's addresses.
}

void aCA::setModuleName(const QString &name)
{
    ui.ModuleName->setText(name);
    if (ready)
        sendMyName();
}

void aCA::setTCTable(const QStringList &list)
{
    tcTable = list;
    ui.SelectTCCB->clear();
    for (const QString &entry : list)
        ui.SelectTCCB->addItem(timeConstantLabel(entry));
}

void aCA::setRangeTable(const QStringList &list)
{
    ui.RangeSCB->clear();
    ui.RangeSCB->addItems(list);
}

void aCA::setCSprTableFile(const QString &fileName)
{
    csprFile = fileName;
    loadCSprTable();
}

void aCA::setPollErrors(bool on)
{
    pollErrors = on;
    if (!on)
        pollTimer->stop();
    else if (ready && !pollTimer->isActive())
        pollTimer->start();
}

QStringList aCA::rangeTexts() const
{
    QStringList texts;
    texts.reserve(ui.RangeSCB->count());
    for (int i = 0; i < ui.RangeSCB->count(); ++i)
        texts << ui.RangeSCB->itemText(i);
    return texts;
}

QString aCA::statusOf(QChar letter) const
{
    return status.capture(letter);
}

// ---- link -------------------------------------------------------------

void aCA::tesraIsReady(Tesra *s)
{
    Q_UNUSED(s)
    ready = true;
    // What the device said on an earlier link may no longer hold.
    asked.fill(0);
    answered.fill(0);
    statusKnown = false;
    lastRange.reset();
    lastSuppression.reset();
    lastBias.reset();
    if (client) {
        takeMessages();
        client->SendMsg(id, QStringLiteral("System"), QStringLiteral("flgon"), devCh());
    }
    send(QStringLiteral("GetStatus"));
    send(QStringLiteral("GetRange"));
    send(QStringLiteral("GetCurrentSurpressionValue"));
    send(QStringLiteral("GetVoltageBiasRange"));
    send(QStringLiteral("SetSRQMask 01"));
    if (pollErrors && !pollTimer->isActive())
        pollTimer->start();
}

void aCA::takeMessages()
{
    // Replies come back to the panel's own sub-name; the amplifier's events
    // are known by their sender, the device node.
    client->StopDelivery(this);
    const auto to = Tesra::Addressed::ToSub;
    const auto from = Tesra::Addressed::From;
    const QString node = devCh();
    client->Deliver(this, &Tesra::AnsGetStatus, to, id, &aCA::AnsGetStatus);
    client->Deliver(this, &Tesra::AnsGetRange, to, id, &aCA::AnsGetRange);
    client->Deliver(this, &Tesra::AnsGetCurrentSurpressionValue, to, id,
                    &aCA::AnsGetCurrentSurpressionValue);
    client->Deliver(this, &Tesra::AnsGetVoltageBiasRange, to, id, &aCA::AnsGetVoltageBiasRange);
    client->Deliver(this, &Tesra::EvRangeChanged, from, node, &aCA::EvRangeChanged);
    client->Deliver(this, &Tesra::AnsGetErrorStatus, to, id, &aCA::AnsGetErrorStatus);
    client->Deliver(this, &Tesra::AnsGetSRQ, to, id, &aCA::AnsGetSRQ);
    client->Deliver(this, &Tesra::EvSRQChanged, from, node, &aCA::EvSRQChanged);
    answerWatch->listen(node);
}

QString aCA::devCh()
{
    return SMsg::joinName(driver, ch);
}

bool aCA::checkMine(const SMsg &msg)
{
    return msg.toSub == id;
}

void aCA::doPolling()
{
    send(QStringLiteral("GetErrorStatus"));
}

void aCA::askGetError()
{
    send(QStringLiteral("GetErrorStatus"));
}

void aCA::sendMyName()
{
    const QString command = QStringLiteral("SetDisplayMsg ") + ui.ModuleName->text();
    if (unsent->mayFinish(ui.ModuleName, command))
        send(command);
}

void aCA::showDetails(bool f)
{
    ui.ResetB->setVisible(f);
    ui.CSprLoadDefB->setVisible(f);
    ui.SaveCSprDefB->setVisible(f);
    ui.Details->setVisible(f);
}

void aCA::resizeEvent(QResizeEvent *e)
{
    Q_UNUSED(e)
    emit resized();
}

void aCA::sendThenStatus(const QString &command)
{
    send(command);
    send(QStringLiteral("GetStatus"));
}

void aCA::send(const QString &command)
{
    if (!client || !linkGuard->letsThrough(command))
        return;
    if (client->SendMsg(id, devCh(), command, QString()))
        answerWatch->requestSent();
    for (int query = 0; query < QueryCount; ++query) {
        if (command == QueryWords.at(query))
            ++asked.at(query);
    }
}

void aCA::countAnswer(Query query)
{
    ++answered.at(query);
}

bool aCA::awaitsAnswers() const
{
    for (int query = 0; query < QueryCount; ++query) {
        if (answered.at(query) < asked.at(query))
            return true;
    }
    return false;
}

bool aCA::hasAnswered() const
{
    for (int count : answered) {
        if (count == 0)
            return false;
    }
    return true;
}

void aCA::askValues()
{
    for (const QLatin1String &word : QueryWords)
        send(word);
}

// ---- snapshots --------------------------------------------------------

QJsonValue aCA::reported(AmpSetting setting) const
{
    switch (setting) {
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
    switch (setting) {
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
        return choiceWord(setting, status.isOne(CA5350::Z) ? 1 : 0);
    case AmpSetting::Input:
        return choiceWord(setting, status.isOne(CA5350::I) ? 1 : 0);
    case AmpSetting::BackLight:
        return choiceWord(setting, status.value(CA5350::A));
    default:
        break;
    }
    return QJsonValue();
}

bool aCA::operate(AmpSetting setting, const QJsonValue &value)
{
    const SnapshotSetting &entry = Snapshot::ampSettings().at(int(setting));
    const QString text = value.toString();
    const int choice = entry.choices.indexOf(text);
    switch (setting) {
    case AmpSetting::Range:
        return operateChoice(ui.RangeSCB, CA5350::exactRangeIndex(rangeTexts(), text.toDouble()),
                             &aCA::selectedNewRange);
    case AmpSetting::TimeConstant: {
        int index = -1;
        for (int i = 0; i < tcTable.size() && index < 0; ++i) {
            if (value.isString() && Snapshot::sameValue(entry, tcTable.at(i), value))
                index = i;
        }
        return operateChoice(ui.SelectTCCB, index, &aCA::selectedNewTC);
    }
    case AmpSetting::ZeroCheck:
        return operateSwitch(ui.ZeroCheckB, value, &aCA::selectedZeroCheck);
    case AmpSetting::Suppression:
        return operateSwitch(ui.CSprUseB, value, &aCA::selectedCSprUse);
    case AmpSetting::Filter:
        return operateSwitch(ui.FilterUseB, value, &aCA::selectedFilterUse);
    case AmpSetting::Bias:
        return operateSwitch(ui.VBiasOnB, value, &aCA::changedVBiasMode);
    case AmpSetting::FilterMode:
        return choice >= 0 &&
               operateSwitch(ui.FilterAutoB, Snapshot::flag(choice == 1), &aCA::changeFilterMode);
    case AmpSetting::Input:
        return choice >= 0 &&
               operateSwitch(ui.SelInputRB, Snapshot::flag(choice == 1), &aCA::selectedInput);
    case AmpSetting::BackLight: {
        const std::array<QAbstractButton *, 3> buttons = {ui.BackLightHB, ui.BackLightLB,
                                                          ui.BackLightOffB};
        if (choice < 0 || choice >= int(buttons.size()))
            return false;
        return operateSwitch(buttons.at(choice), Snapshot::flag(true), &aCA::selectedBackLightMode);
    }
    case AmpSetting::SuppressionValue:
        // The field sends nothing for 0, so neither can a restore.
        if (!value.isString() || Values::toNumber(text) == 0.0)
            return false;
        ui.NewCSprEdit->setText(text);
        newCSpr();
        return true;
    case AmpSetting::BiasVoltage:
        if (!value.isString() || text.simplified().isEmpty())
            return false;
        ui.NewVBias->setText(text);
        newVBias();
        return true;
    }
    return false;
}

bool aCA::operateSwitch(QAbstractButton *button, const QJsonValue &value, void (aCA::*slot)(bool))
{
    if (!value.isBool())
        return false;
    const bool on = value.toBool();
    if (button->isChecked() != on)
        button->setChecked(on);
    else
        (this->*slot)(on);
    return true;
}

bool aCA::operateChoice(QComboBox *box, int index, void (aCA::*slot)(int))
{
    if (index < 0 || index >= box->count())
        return false;
    if (box->currentIndex() != index)
        box->setCurrentIndex(index);
    else
        (this->*slot)(index);
    return true;
}

// ---- commands ---------------------------------------------------------

void aCA::selectedZeroCheck(bool f)
{
    sendThenStatus(QStringLiteral("SetZeroCheck ") + flag(f));
}

void aCA::reset()
{
    if (!ready)
        return;
    sendThenStatus(QStringLiteral("RestorConfig 2"));
}

void aCA::selectedNewRange(int i)
{
    if (!ready)
        return;
    // Only an emptied selector reports an index outside its items; there is
    // no range to send then.
    if (i < 0 || i >= ui.RangeSCB->count()) {
        qCDebug(lcAmplifier).noquote() << QStringLiteral("no range at index %1 of RangeSCB").arg(i);
        return;
    }
    sendThenStatus(QStringLiteral("SetRange ") + ui.RangeSCB->itemText(i));
    if (ui.CSprFromTBLB->isChecked())
        applyCSprFromTable(i);
}

void aCA::selectedCSprUse(bool f)
{
    ui.CSprUseBox->setEnabled(f);
    sendThenStatus(QStringLiteral("SetCurrentSurpression ") + flag(f));
}

void aCA::newCSpr()
{
    // Zero, and any text that is not a (finite) number, sends nothing.
    const QString text = ui.NewCSprEdit->text();
    if (Values::toNumber(text) == 0.0)
        return;
    const QString command = QStringLiteral("SetCurrentSurpressionValue ") + text;
    if (!unsent->mayFinish(ui.NewCSprEdit, command))
        return;
    send(command);
    send(QStringLiteral("GetCurrentSurpressionValue"));
}

void aCA::selectedFilterUse(bool f)
{
    ui.FilterUseBox->setEnabled(f);
    sendThenStatus(QStringLiteral("SetFilter ") + flag(f));
}

void aCA::selectedNewTC(int i)
{
    if (!ready)
        return;
    // The selector may point past the table (a status code beyond it leaves
    // no current item); the table is never read there.
    if (i < 0 || i >= tcTable.size()) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("no time constant at index %1 of the TC table").arg(i);
        return;
    }
    sendThenStatus(QStringLiteral("SetFilterDuration ") + tcTable.at(i));
}

void aCA::keepOpposite(QAbstractButton *first, QAbstractButton *second)
{
    // Made before the buttons' command connections, so a toggled button first
    // turns its partner, whose command goes out nested, and then sends its own.
    connect(first, &QAbstractButton::toggled, second, [second](bool f) { second->setChecked(!f); });
    connect(second, &QAbstractButton::toggled, first, [first](bool f) { first->setChecked(!f); });
}

void aCA::changeFilterMode(bool f)
{
    Q_UNUSED(f)
    sendThenStatus(QStringLiteral("SetAutoFilter ") + flag(ui.FilterAutoB->isChecked()));
}

void aCA::changedVBiasMode(bool f)
{
    Q_UNUSED(f)
    sendThenStatus(QStringLiteral("SetVoltageBias ") + flag(ui.VBiasOnB->isChecked()));
}

void aCA::newVBias()
{
    const QString text = ui.NewVBias->text();
    if (text.simplified().isEmpty())
        return;
    const QString command = QStringLiteral("SetVoltageBiasRange ") + text;
    if (!unsent->mayFinish(ui.NewVBias, command))
        return;
    send(command);
    send(QStringLiteral("GetVoltageBiasRange"));
}

void aCA::selectedInput(bool f)
{
    Q_UNUSED(f)
    sendThenStatus(QStringLiteral("SelectInput ") + flag(ui.SelInputRB->isChecked()));
}

void aCA::selectedBackLightMode(bool f)
{
    Q_UNUSED(f)
    QString mode = QStringLiteral("0");
    if (ui.BackLightOffB->isChecked())
        mode = QStringLiteral("2");
    else if (ui.BackLightLB->isChecked())
        mode = QStringLiteral("1");
    sendThenStatus(QStringLiteral("SetBacklight ") + mode);
}

void aCA::askShowStat()
{
    send(QStringLiteral("GetStatus"));
}

// ---- replies and events -----------------------------------------------

void aCA::AnsGetStatus(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    countAnswer(StatusQuery);
    ui.StatDisp->setText(decodeStatus(msg.params));
}

QString aCA::decodeStatus(const QString &text)
{
    const CA5350::Status decoded = CA5350::Status::fromText(text);
    if (!decoded.isValid())
        return QString();
    status = decoded;
    statusKnown = true;

    // Each change below runs the widget's own slot, which sends the command
    // back to the device; widgets already in the reported state stay silent.
    ui.ZeroCheckB->setChecked(status.isOne(CA5350::C));

    const bool csprInUse = status.isOne(CA5350::N);
    ui.CSprUseB->setChecked(csprInUse);
    ui.CSprUseBox->setEnabled(csprInUse);

    const bool filterInUse = status.isOne(CA5350::P);
    ui.FilterUseB->setChecked(filterInUse);
    ui.FilterUseBox->setEnabled(filterInUse);
    const bool autoFilter = status.isOne(CA5350::Z);
    ui.FilterAutoB->setChecked(autoFilter);
    ui.FilterManualB->setChecked(!autoFilter);

    ui.SelectTCCB->setCurrentIndex(status.timeConstantIndex());

    const bool biasOn = status.isOne(CA5350::B);
    ui.VBiasOnB->setChecked(biasOn);
    ui.VBiasOffB->setChecked(!biasOn);

    const bool rearInput = status.isOne(CA5350::I);
    ui.SelInputFB->setChecked(!rearInput);
    ui.SelInputRB->setChecked(rearInput);

    // The button to be checked goes first: the exclusive group refuses to
    // uncheck its checked button directly.
    switch (status.value(CA5350::A)) {
    case 0:
        ui.BackLightHB->setChecked(true);
        ui.BackLightLB->setChecked(false);
        ui.BackLightOffB->setChecked(false);
        break;
    case 1:
        ui.BackLightLB->setChecked(true);
        ui.BackLightHB->setChecked(false);
        ui.BackLightOffB->setChecked(false);
        break;
    case 2:
        ui.BackLightOffB->setChecked(true);
        ui.BackLightHB->setChecked(false);
        ui.BackLightLB->setChecked(false);
        break;
    default:
        break;
    }

    return status.body();
}

void aCA::AnsGetRange(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    countAnswer(RangeQuery);
    lastRange = msg.params;
    const double range = msg.params.toDouble();
    const int index = CA5350::exactRangeIndex(rangeTexts(), range);
    if (index < 0) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("can't find the range %1 in RangeSCB").arg(range, 0, 'g', 6);
        return;
    }
    ui.RangeSCB->setCurrentIndex(index);
}

void aCA::AnsGetCurrentSurpressionValue(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    countAnswer(SuppressionQuery);
    lastSuppression = msg.params;
    ui.NowCSprDisp->setText(msg.params);
}

void aCA::AnsGetVoltageBiasRange(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    countAnswer(BiasQuery);
    lastBias = msg.params;
    ui.NowVBias->setText(msg.params);
}

void aCA::EvRangeChanged(const SMsg &msg)
{
    if (msg.from != devCh())
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
    const int chosen = CA5350::nearestRangeIndex(rangeTexts(), range);
    if (chosen != ui.RangeSCB->currentIndex())
        ui.RangeSCB->setCurrentIndex(chosen);
}

void aCA::AnsGetSRQ(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    ReceiveSRQ(msg);
}

void aCA::EvSRQChanged(const SMsg &msg)
{
    if (msg.from != devCh())
        return;
    ReceiveSRQ(msg);
}

void aCA::ReceiveSRQ(const SMsg &msg)
{
    if (Values::toInteger(msg.params) == 1) {
        setStyleSheet(alertStyle);
        ui.DispErr->setText(QStringLiteral("OVER !!!"));
    } else {
        setStyleSheet(normalStyle);
        ui.DispErr->setText(QString());
    }
}

void aCA::AnsGetErrorStatus(const SMsg &msg)
{
    if (!checkMine(msg))
        return;
    const CA5350::ErrorStatus error = CA5350::decodeErrorStatus(msg.params);
    if (!error.valid)
        return;
    qCDebug(lcAmplifier).noquote() << "ErrStat" << error.body;
    const QString message =
        error.message ? QCoreApplication::translate("aCA", error.message) : QString();
    setStyleSheet(message.isEmpty() ? normalStyle : alertStyle);
    ui.DispErr->setText(message);
}

// ---- current-suppression table ----------------------------------------

void aCA::loadCSprTable()
{
    if (!csprTable.load(csprFile)) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("Can't open CSpr Table file [%1]").arg(csprFile);
        return;
    }
    // Refilling moves the current item, which puts the first (largest range)
    // entry's value into NewCSprEdit.
    ui.CSprTBLCB->clear();
    for (int i = 0; i < csprTable.size(); ++i)
        ui.CSprTBLCB->addItem(CSprTable::itemText(csprTable.at(i)));
}

void aCA::changedCSprTableIndex(int i)
{
    if (!csprTable.isIndex(i))
        return;
    ui.NewCSprEdit->setText(CSprTable::valueText(csprTable.at(i).value));
}

void aCA::selectedCSprFromTable(bool f)
{
    if (f)
        applyCSprFromTable(ui.RangeSCB->currentIndex());
}

void aCA::applyCSprFromTable(int rangeIndex)
{
    // Without a current range there is nothing to look up; an empty item
    // text would read as range 0.
    if (rangeIndex < 0 || rangeIndex >= ui.RangeSCB->count())
        return;
    const int entry = csprTable.indexOfRange(ui.RangeSCB->itemText(rangeIndex).toDouble());
    if (entry < 0)
        return;
    ui.CSprTBLCB->setCurrentIndex(entry);
    ui.NewCSprEdit->setText(CSprTable::valueText(csprTable.at(entry).value));
    newCSpr();
}

void aCA::setAValToCSprTable()
{
    // An entry without a reported value or without a range would read back
    // as a wrong table value, so it is not recorded.
    const QString value = ui.NowCSprDisp->text();
    if (value.trimmed().isEmpty() || ui.RangeSCB->currentIndex() < 0) {
        qCDebug(lcAmplifier).noquote()
            << QStringLiteral("CSpr Table: no current range or suppression value to record in [%1]")
                   .arg(csprFile);
        notices->post(PanelNotice::tr("Set Table: no range or suppression value reported yet; "
                                      "nothing was added to %1")
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
        notices->post(PanelNotice::tr("Set Table: the suppression value “%1” is not a number; "
                                      "nothing was added to %2")
                          .arg(value, csprFile));
        return;
    }
    const QString line =
        CSprTable::entryLine(ui.RangeSCB->currentText(), value, QDateTime::currentDateTime());
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
    loadCSprTable();
}
