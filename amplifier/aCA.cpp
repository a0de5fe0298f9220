// SPDX-License-Identifier: GPL-3.0-or-later
#include "amplifier/aCA.h"

#include "client/Tesra.h"
#include "devices/Colours.h"
#include "widgets/LinkGuard.h"
#include "widgets/PanelNotice.h"
#include "widgets/QtCompat.h"
#include "widgets/SilenceBadge.h"
#include "widgets/UnsentEdits.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QResizeEvent>
#include <QScopedValueRollback>

using Switch = AmplifierDevice::Switch;
using BackLight = AmplifierDevice::BackLight;
using Field = AmplifierDevice::Field;

aCA::aCA() : aCA(new AmplifierDevice) {}

aCA::aCA(AmplifierDevice *device)
    : QWidget(nullptr, Qt::WindowFlags()), dev(device),
      styleOfAlert(Colours::background(Colours::Colour::AmplifierAlert)),
      client(device->clientField()), ready(device->readyField()), id(device->address().id),
      driver(device->address().driver), ch(device->address().ch), normalStyle(styleWithoutAlert),
      alertStyle(styleOfAlert), col(place.col), row(place.row), colSpan(place.colSpan),
      rowSpan(place.rowSpan)
{
    // A device made for this panel alone goes with it.
    if (!device->parent())
        device->setParent(this);
    build();
}

void aCA::build()
{
    ui.setupUi(this);

    backLightGroup = new QButtonGroup(this);
    backLightGroup->addButton(ui.BackLightHB);
    backLightGroup->addButton(ui.BackLightLB);
    backLightGroup->addButton(ui.BackLightOffB);

    // The widgets take the device's state before they are wired to it, so
    // building the panel sends nothing.
    showAll();

    connect(QtCompat::editEnd(ui.ModuleName), &QtCompat::EditEnd::finished, this, &aCA::sendMyName);
    forwardSwitch(ui.ZeroCheckB, Switch::ZeroCheck);
    connect(ui.ResetB, &QAbstractButton::clicked, this, &aCA::reset);
    forwardChoice(ui.RangeSCB, &AmplifierDevice::chooseRange);
    forwardSwitch(ui.CSprUseB, Switch::Suppression);
    connect(QtCompat::editEnd(ui.NewCSprEdit), &QtCompat::EditEnd::finished, this, &aCA::newCSpr);
    forwardSwitch(ui.FilterUseB, Switch::Filter);
    forwardSwitch(ui.FilterAutoB, Switch::FilterAuto);
    forwardSwitch(ui.FilterManualB, Switch::FilterManual);
    forwardChoice(ui.SelectTCCB, &AmplifierDevice::chooseTimeConstant);
    forwardSwitch(ui.VBiasOnB, Switch::BiasOn);
    forwardSwitch(ui.VBiasOffB, Switch::BiasOff);
    connect(QtCompat::editEnd(ui.NewVBias), &QtCompat::EditEnd::finished, this, &aCA::newVBias);
    forwardSwitch(ui.SelInputRB, Switch::RearInput);
    forwardSwitch(ui.SelInputFB, Switch::FrontInput);
    forwardBackLight(ui.BackLightHB, BackLight::High);
    forwardBackLight(ui.BackLightLB, BackLight::Low);
    forwardBackLight(ui.BackLightOffB, BackLight::Off);
    connect(ui.ShowStatB, &QAbstractButton::clicked, this, &aCA::askShowStat);
    // Checking "Set Manually" unchecks "Set from TBL", which says it all.
    forwardSwitch(ui.CSprFromTBLB, Switch::TableSource);
    forwardChoice(ui.CSprTBLCB, &AmplifierDevice::chooseTableEntry);
    connect(ui.SetCSprTableB, &QAbstractButton::clicked, this, &aCA::setAValToCSprTable);
    // "Set Table" records what the field shows.
    connect(ui.NowCSprDisp, &QLineEdit::textChanged, dev, &AmplifierDevice::takeSuppressionValue);
    connect(dev, &AmplifierDevice::fieldChanged, this, &aCA::showField);

    ui.CSprLoadDefB->setEnabled(false);

    showDetails(ui.ShowDetailsB->isChecked());
    connect(ui.ShowDetailsB, &QAbstractButton::toggled, this, &aCA::showDetails);

    setStyleSheet(normalStyle);

    // Everything that sends a command, or writes a value into the
    // suppression table; Show Details only changes the view. The two boxes
    // that the panel enables by its own rules are not guarded themselves,
    // only the controls inside them.
    guard = new LinkGuard(this);
    guard->addControls(
        {ui.ModuleName,  ui.ZeroCheckB,  ui.ResetB,        ui.RangeSCB,      ui.CSprUseB,
         ui.NewCSprEdit, ui.FilterUseB,  ui.FilterAutoB,   ui.FilterManualB, ui.SelectTCCB,
         ui.VBiasOnB,    ui.VBiasOffB,   ui.NewVBias,      ui.SelInputRB,    ui.SelInputFB,
         ui.BackLightHB, ui.BackLightLB, ui.BackLightOffB, ui.ShowStatB,     ui.CSprFromTBLB,
         ui.CSprManualB, ui.CSprTBLCB,   ui.SetCSprTableB, ui.SaveCSprDefB,  ui.CSprLoadDefB});
    guard->addValues({ui.StatDisp, ui.NowCSprDisp, ui.NowVBias, ui.DispErr});
    badge = new SilenceBadge(this, dev->answerWatch());
    notices = new PanelNotice(this);
    // What the device has to tell the operator, the panel tells.
    connect(dev, &Device::notice, notices, &PanelNotice::post);
    unsent = new UnsentEdits(notices, this);
    if (dev->client()) {
        guard->follow(dev->client());
        unsent->follow(dev->client());
    }
}

aCA::~aCA()
{
    releaseClient();
}

void aCA::releaseClient()
{
    if (dev) {
        dev->release();
        disconnect(dev, nullptr, this, nullptr);
    }
    cutChildren(this, dev);
}

void aCA::setClient(Tesra *c)
{
    if (!c)
        return;
    guard->follow(c);
    unsent->follow(c);
    dev->setClient(c);
}

void aCA::setModuleName(const QString &name)
{
    dev->setDisplayName(name);
}

void aCA::setTCTable(const QStringList &list)
{
    dev->setTimeConstants(list);
}

void aCA::setRangeTable(const QStringList &list)
{
    dev->setRanges(list);
}

void aCA::setCSprTableFile(const QString &fileName)
{
    dev->setTableFile(fileName);
}

void aCA::setPollErrors(bool on)
{
    dev->setPollErrors(on);
}

bool aCA::isReady() const
{
    return dev->isReady();
}

bool aCA::pollsErrors() const
{
    return dev->pollsErrors();
}

QString aCA::cSprFile() const
{
    return dev->cSprFile();
}

const CSprTable &aCA::cSprTable() const
{
    return dev->cSprTable();
}

QString aCA::statusOf(QChar letter) const
{
    return dev->statusOf(letter);
}

// ---- from the widgets to the device -------------------------------------

void aCA::forwardSwitch(QAbstractButton *button, Switch which)
{
    connect(button, &QAbstractButton::toggled, this, [this, which](bool on) {
        if (!showing)
            dev->setSwitch(which, on);
    });
}

void aCA::forwardBackLight(QAbstractButton *button, BackLight setting)
{
    // The exclusive group unchecks the old button before it reports the new
    // one; the new one's report is the change.
    connect(button, &QAbstractButton::toggled, this, [this, setting](bool on) {
        if (on && !showing)
            dev->chooseBackLight(setting);
    });
}

void aCA::forwardChoice(QComboBox *box, void (AmplifierDevice::*choose)(int))
{
    connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, [this, choose](int i) {
        if (!showing)
            (dev.data()->*choose)(i);
    });
}

// ---- from the device to the widgets -------------------------------------

QAbstractButton *aCA::buttonOf(Switch which) const
{
    switch (which) {
    case Switch::ZeroCheck:
        return ui.ZeroCheckB;
    case Switch::Suppression:
        return ui.CSprUseB;
    case Switch::Filter:
        return ui.FilterUseB;
    case Switch::FilterAuto:
        return ui.FilterAutoB;
    case Switch::FilterManual:
        return ui.FilterManualB;
    case Switch::BiasOn:
        return ui.VBiasOnB;
    case Switch::BiasOff:
        return ui.VBiasOffB;
    case Switch::RearInput:
        return ui.SelInputRB;
    case Switch::FrontInput:
        return ui.SelInputFB;
    case Switch::TableSource:
        return ui.CSprFromTBLB;
    }
    return nullptr;
}

QAbstractButton *aCA::buttonOf(BackLight setting) const
{
    switch (setting) {
    case BackLight::High:
        return ui.BackLightHB;
    case BackLight::Low:
        return ui.BackLightLB;
    case BackLight::Off:
        return ui.BackLightOffB;
    }
    return nullptr;
}

void aCA::showAll()
{
    for (int field = 0; field <= int(Field::Alert); ++field) {
        // The alert is shown when the device reports one: a panel coming up
        // keeps the style it was given.
        if (Field(field) != Field::Alert)
            showField(Field(field));
    }
}

void aCA::showSwitches()
{
    for (int k = 0; k < AmplifierDevice::SwitchCount; ++k) {
        const Switch which = Switch(k);
        // "Set from TBL" and "Set Manually" exclude each other: the one to
        // be checked is checked, which unchecks the other.
        if (which == Switch::TableSource && !dev->isOn(which))
            ui.CSprManualB->setChecked(true);
        else
            buttonOf(which)->setChecked(dev->isOn(which));
    }
    ui.CSprUseBox->setEnabled(dev->isOn(Switch::Suppression));
    ui.FilterUseBox->setEnabled(dev->isOn(Switch::Filter));
}

void aCA::showChoice(QComboBox *box, const QStringList &items, int index)
{
    bool same = box->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = box->itemText(i) == items.at(i);
    if (!same) {
        box->clear();
        box->addItems(items);
    }
    if (box->currentIndex() != index)
        box->setCurrentIndex(index);
}

void aCA::showField(Field field)
{
    const QScopedValueRollback<int> rollback(showing, showing + 1);
    switch (field) {
    case Field::Switches:
        showSwitches();
        return;
    case Field::BackLight:
        buttonOf(dev->backLight())->setChecked(true);
        return;
    case Field::Range:
        showChoice(ui.RangeSCB, dev->ranges(), dev->rangeIndex());
        return;
    case Field::TimeConstant: {
        QStringList labels;
        for (const QString &entry : dev->timeConstants())
            labels << AmplifierDevice::timeConstantLabel(entry);
        showChoice(ui.SelectTCCB, labels, dev->timeConstantIndex());
        return;
    }
    case Field::TableEntry:
        showChoice(ui.CSprTBLCB, dev->tableItems(), dev->tableIndex());
        return;
    case Field::DisplayName:
        if (ui.ModuleName->text() != dev->displayName())
            ui.ModuleName->setText(dev->displayName());
        return;
    case Field::SuppressionEntry:
        if (ui.NewCSprEdit->text() != dev->suppressionEntry())
            ui.NewCSprEdit->setText(dev->suppressionEntry());
        return;
    case Field::BiasEntry:
        if (ui.NewVBias->text() != dev->biasEntry())
            ui.NewVBias->setText(dev->biasEntry());
        return;
    case Field::Status:
        ui.StatDisp->setText(dev->statusText());
        return;
    case Field::SuppressionValue:
        ui.NowCSprDisp->setText(dev->suppressionValue());
        return;
    case Field::BiasVoltage:
        ui.NowVBias->setText(dev->biasVoltage());
        return;
    case Field::Alert:
        // The normal style also takes away a colour the window gave the
        // panel.
        setStyleSheet(dev->isAlerting() ? alertStyle : normalStyle);
        ui.DispErr->setText(dev->alertText());
        return;
    }
}

// ---- the contract's slots -------------------------------------------------

void aCA::tesraIsReady(Tesra *s)
{
    Q_UNUSED(s)
    dev->takeLink();
}

QString aCA::devCh()
{
    return dev->node();
}

bool aCA::checkMine(const SMsg &msg)
{
    return dev->isMine(msg);
}

void aCA::doPolling()
{
    dev->askErrorStatus();
}

void aCA::askGetError()
{
    dev->askErrorStatus();
}

void aCA::sendMyName()
{
    // An edit the link cannot carry stays in its field, marked (see
    // UnsentEdits); so in the two value fields below.
    const QString text = ui.ModuleName->text();
    if (unsent->mayFinish(ui.ModuleName, AmplifierDevice::displayCommand(text)))
        dev->enterDisplayName(text);
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

void aCA::selectedZeroCheck(bool f)
{
    dev->sendZeroCheck(f);
}

void aCA::reset()
{
    dev->reset();
}

void aCA::selectedNewRange(int i)
{
    dev->sendRange(i);
}

void aCA::selectedCSprUse(bool f)
{
    ui.CSprUseBox->setEnabled(f);
    dev->sendSuppressionUse(f);
}

void aCA::newCSpr()
{
    const QString text = ui.NewCSprEdit->text();
    const QString command = AmplifierDevice::suppressionCommand(text);
    if (!command.isEmpty() && !unsent->mayFinish(ui.NewCSprEdit, command))
        return;
    dev->enterSuppressionValue(text);
}

void aCA::selectedFilterUse(bool f)
{
    ui.FilterUseBox->setEnabled(f);
    dev->sendFilterUse(f);
}

void aCA::selectedNewTC(int i)
{
    dev->sendTimeConstant(i);
}

void aCA::changeFilterMode(bool f)
{
    Q_UNUSED(f)
    dev->sendFilterMode();
}

void aCA::changedVBiasMode(bool f)
{
    Q_UNUSED(f)
    dev->sendBias();
}

void aCA::newVBias()
{
    const QString text = ui.NewVBias->text();
    const QString command = AmplifierDevice::biasCommand(text);
    if (!command.isEmpty() && !unsent->mayFinish(ui.NewVBias, command))
        return;
    dev->enterBiasVoltage(text);
}

void aCA::selectedInput(bool f)
{
    Q_UNUSED(f)
    dev->sendInput();
}

void aCA::selectedBackLightMode(bool f)
{
    Q_UNUSED(f)
    dev->sendBackLight();
}

void aCA::askShowStat()
{
    dev->askStatus();
}

void aCA::selectedCSprFromTable(bool f)
{
    dev->applyTableSource(f);
}

void aCA::changedCSprTableIndex(int i)
{
    dev->showTableEntry(i);
}

void aCA::setAValToCSprTable()
{
    dev->recordTableEntry();
}

void aCA::AnsGetStatus(const SMsg &msg)
{
    dev->AnsGetStatus(msg);
}

void aCA::AnsGetRange(const SMsg &msg)
{
    dev->AnsGetRange(msg);
}

void aCA::AnsGetCurrentSurpressionValue(const SMsg &msg)
{
    dev->AnsGetCurrentSurpressionValue(msg);
}

void aCA::AnsGetVoltageBiasRange(const SMsg &msg)
{
    dev->AnsGetVoltageBiasRange(msg);
}

void aCA::AnsGetSRQ(const SMsg &msg)
{
    dev->AnsGetSRQ(msg);
}

void aCA::AnsGetErrorStatus(const SMsg &msg)
{
    dev->AnsGetErrorStatus(msg);
}

void aCA::EvSRQChanged(const SMsg &msg)
{
    dev->EvSRQChanged(msg);
}

void aCA::EvRangeChanged(const SMsg &msg)
{
    dev->EvRangeChanged(msg);
}

void aCA::ReceiveSRQ(const SMsg &msg)
{
    dev->ReceiveSRQ(msg);
}
