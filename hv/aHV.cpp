// SPDX-License-Identifier: GPL-3.0-or-later
#include "hv/aHV.h"

#include "client/Tesra.h"
#include "devices/HVRules.h"
#include "hv/SetVGuard.h"
#include "widgets/LatestText.h"
#include "widgets/LinkGuard.h"
#include "widgets/PanelNotice.h"
#include "widgets/QtCompat.h"
#include "widgets/SilenceBadge.h"
#include "widgets/UnsentEdits.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLineEdit>
#include <QScopedValueRollback>

namespace {

// The value field is repainted at most ten times a second: the newest value
// is on screen within 100 ms, and no one reads a number faster.
constexpr int DisplayIntervalMs = 100;

} // namespace

using Field = HvDevice::Field;

aHV::aHV(QWidget *parent) : aHV(new HvDevice, parent) {}

aHV::aHV(HvDevice *device, QWidget *parent)
    : QWidget(parent), dev(device), id(device->address().id), driver(device->address().driver),
      ch(device->address().ch), col(place.col), row(place.row), colSpan(place.colSpan),
      rowSpan(place.rowSpan), maxV(device->state().maxV), vLimit(device->state().vLimit),
      vApplied(device->state().vApplied), voltageTolerance(device->state().voltageTolerance)
{
    // A device made for this panel alone goes with it.
    if (!device->parent())
        device->setParent(this);
    build();
}

void aHV::build()
{
    ui.setupUi(this);

    // Until the module says it may be driven from here, Start does nothing.
    ui.Start->setEnabled(false);
    guard = new LinkGuard(this);
    guard->addControls({ui.Start, ui.SetV, ui.RampRate});
    guard->addValues({ui.NowV, ui.Stat, ui.MaxV});
    nowV = new LatestText(ui.NowV, this, DisplayIntervalMs);
    setVMarks = new SetVGuard(ui.SetV, this);
    badge = new SilenceBadge(this, dev->answerWatch());
    notices = new PanelNotice(this);
    // What the device has to tell the operator, the panel tells.
    connect(dev, &Device::notice, notices, &PanelNotice::post);
    unsent = new UnsentEdits(notices, this);

    // A device of the station shows its module's name; a panel of its own
    // keeps the form's until it is given one.
    if (!dev->section().isEmpty())
        ui.ModuleName->setText(dev->section());
    // The ramp rate the form starts with is the operator's until the module
    // reports its own; the device shows everything else. The fields the
    // rules read (the status, the voltage, the ramp rate, the set voltage)
    // tell the device whatever comes into them, an operator's typing
    // included.
    dev->takeRampText(ui.RampRate->text());
    for (int field = 0; field <= int(Field::StatusColour); ++field)
        showField(Field(field));

    connect(QtCompat::editEnd(ui.RampRate), &QtCompat::EditEnd::finished, this, &aHV::newRampRate);
    connect(ui.RampRate, &QLineEdit::textChanged, dev, &HvDevice::takeRampText);
    connect(ui.Stat, &QLineEdit::textChanged, dev, &HvDevice::takeStatusText);
    connect(ui.NowV, &QLineEdit::textChanged, dev, &HvDevice::takeVoltageText);
    watchSetVEdit();
    connect(ui.SetV, qOverload<int>(&QComboBox::currentIndexChanged), this, &aHV::takeSetV);
    connect(ui.SetV, &QComboBox::currentTextChanged, this, &aHV::takeSetV);
    connect(ui.SetV->model(), &QAbstractItemModel::rowsInserted, this, &aHV::takeSetV);
    connect(ui.Start, &QPushButton::clicked, this, &aHV::hvOnOff);
    connect(dev, &HvDevice::fieldChanged, this, &aHV::showField);
    connect(dev, &HvDevice::setVRefused, setVMarks, &SetVGuard::markRefused);

    ui.HideBox->setVisible(ui.ShowDetailsB->isChecked());
    connect(ui.ShowDetailsB, &QCheckBox::toggled, ui.HideBox, &QWidget::setVisible);

    if (dev->client()) {
        guard->follow(dev->client());
        unsent->follow(dev->client());
    }
}

aHV::~aHV()
{
    releaseClient();
}

void aHV::releaseClient()
{
    if (dev) {
        dev->release();
        disconnect(dev, nullptr, this, nullptr);
    }
    cutChildren(this, dev);
}

void aHV::setClient(Tesra *tesra)
{
    if (!tesra)
        return;
    guard->follow(tesra);
    unsent->follow(tesra);
    dev->setClient(tesra);
}

void aHV::setVoltageList(const QStringList &voltages)
{
    dev->setVoltageList(voltages);
}

void aHV::selectVoltage(const QString &voltage)
{
    dev->selectVoltage(voltage);
}

void aHV::setVoltageEditable(bool editable)
{
    dev->setVoltageEditable(editable);
}

// ---- from the widgets to the device -------------------------------------

void aHV::takeSetV()
{
    if (showing)
        return;
    QStringList entries;
    entries.reserve(ui.SetV->count());
    for (int i = 0; i < ui.SetV->count(); ++i)
        entries << ui.SetV->itemText(i);
    dev->takeSetV(entries, ui.SetV->currentIndex(), ui.SetV->currentText());
}

void aHV::watchSetVEdit()
{
    // Making the box editable gives it a new line edit, which has to be
    // watched like the one of the form.
    if (QLineEdit *edit = ui.SetV->lineEdit())
        connect(QtCompat::editEnd(edit), &QtCompat::EditEnd::finished, this, &aHV::newSetV,
                Qt::UniqueConnection);
}

// ---- from the device to the widgets -------------------------------------

void aHV::showField(Field field)
{
    const QScopedValueRollback<int> rollback(showing, showing + 1);
    switch (field) {
    case Field::Status:
        if (ui.Stat->text() != dev->statusText())
            ui.Stat->setText(dev->statusText());
        return;
    case Field::Voltage:
        nowV->setText(dev->voltageText());
        return;
    case Field::RampRate:
        if (ui.RampRate->text() != dev->rampText())
            ui.RampRate->setText(dev->rampText());
        return;
    case Field::SetV:
        showSetV();
        return;
    case Field::MaxV:
        ui.MaxV->setText(dev->maxVText());
        setVMarks->setModuleLimits(maxV, vLimit);
        return;
    case Field::Controllable:
        guard->setOwnEnabled(ui.Start, dev->isControllable());
        return;
    case Field::StatusColour:
        // Setting a style sheet re-polishes the button even when the text is
        // the same: only a change of colour is applied.
        if (const auto colour = dev->statusColour()) {
            const QString &style = HVRules::styleOf(*colour);
            if (ui.Start->styleSheet() != style)
                ui.Start->setStyleSheet(style);
        }
        return;
    }
}

void aHV::showSetV()
{
    const HvDevice::SetVBox &box = dev->setV();
    // The list only ever grows.
    for (int i = ui.SetV->count(); i < box.entries.size(); ++i)
        ui.SetV->addItem(box.entries.at(i));
    if (ui.SetV->isEditable() != box.editable) {
        ui.SetV->setEditable(box.editable);
        watchSetVEdit();
    }
    if (ui.SetV->currentIndex() != box.index)
        ui.SetV->setCurrentIndex(box.index);
    if (ui.SetV->currentText() != box.text)
        ui.SetV->setCurrentText(box.text);
}

// ---- the contract's slots -------------------------------------------------

void aHV::tesraIsReady(Tesra *)
{
    dev->takeLink();
}

QString aHV::devCh()
{
    return dev->node();
}

bool aHV::checkMine(const SMsg &msg)
{
    return dev->isMine(msg);
}

void aHV::newSetV()
{
    // An edit the link cannot carry stays in its field, marked (see
    // UnsentEdits); an edit that applies nothing has nothing to hold.
    if (!dev->client() || !vApplied)
        return;
    if (unsent->mayFinish(ui.SetV->lineEdit(), QStringLiteral("SetV ") + ui.SetV->currentText()))
        dev->newSetV();
}

void aHV::newRampRate()
{
    if (!dev->client())
        return;
    if (unsent->mayFinish(ui.RampRate, QStringLiteral("SetRamp ") + ui.RampRate->text()))
        dev->newRampRate();
}

void aHV::hvOnOff()
{
    dev->hvOnOff();
}

void aHV::AnsGetMaxV(const SMsg &msg)
{
    dev->AnsGetMaxV(msg);
}

void aHV::AnsGetVLimit(const SMsg &msg)
{
    dev->AnsGetVLimit(msg);
}

void aHV::AnsGetV(const SMsg &msg)
{
    dev->AnsGetV(msg);
}

void aHV::AnsGetStat1(const SMsg &msg)
{
    dev->AnsGetStat1(msg);
}

void aHV::AnsGetRamp(const SMsg &msg)
{
    dev->AnsGetRamp(msg);
}

void aHV::AnsIsControllable(const SMsg &msg)
{
    dev->AnsIsControllable(msg);
}

void aHV::ChangedOnOff(const SMsg &msg)
{
    dev->ChangedOnOff(msg);
}

void aHV::ChangedStat(const SMsg &msg)
{
    dev->ChangedStat(msg);
}

void aHV::ChangedValue(const SMsg &msg)
{
    dev->ChangedValue(msg);
}

void aHV::ChangedRampRate(const SMsg &msg)
{
    dev->ChangedRampRate(msg);
}
