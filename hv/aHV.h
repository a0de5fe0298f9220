// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/SMsg.h"
#include "devices/HvDevice.h"
#include "ui_aHV.h"
#include "widgets/DevicePanel.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class LatestText;
class LinkGuard;
class PanelNotice;
class SetVGuard;
class SilenceBadge;
class Tesra;
class UnsentEdits;

// The panel of one high-voltage supply module: a view of its device.
//
// The device (HvDevice) holds the module's state and speaks its protocol:
// on every ready link it subscribes to the module node and asks for the
// module's values, and it turns the operator's set voltage, ramp rate and
// Start presses into "SetRamp" and "SetV" lines. The panel shows what the
// device holds (the status word and the colour of the Start button, the
// voltage, the usable maximum, the ramp rate, the set voltage and its list)
// and hands the operator's edits and presses to it; its own slots, the names
// its contract gives them, run the device's matching operations. The
// voltage field shows the newest value once per batch of lines (see
// LatestText); a set voltage that the device refuses for being above the
// usable maximum is marked on SetV (see SetVGuard).
//
// A panel made without a device makes its own (the main window builds its
// panels on the station's devices instead). The fields that the contract
// names (id, driver, ch, the placement, maxV, vLimit, vApplied,
// voltageTolerance) refer to the state that holds them, so writing one
// writes the device's; the program itself uses the accessors.
class aHV : public QWidget, public DevicePanel
{
    Q_OBJECT

    // The state behind the contract's fields; declared first, as the fields
    // refer to it.
    QPointer<HvDevice> dev;
    Config::Placement place;

public:
    explicit aHV(QWidget *parent = nullptr);
    explicit aHV(HvDevice *device, QWidget *parent = nullptr);
    ~aHV() override;

    void setClient(Tesra *tesra);
    void setVoltageList(const QStringList &voltages);
    void selectVoltage(const QString &voltage);
    void setVoltageEditable(bool editable);
    // Makes the panel and its device inert: the client's signals and the
    // panel's own fields no longer reach a slot, and nothing more is sent.
    // The main window calls it when it starts closing; the destructor calls
    // it first, before the child widgets are hidden and lose the focus,
    // which would otherwise run the slots of a half-destroyed panel.
    void releaseClient() override;

    // DevicePanel
    QWidget *widget() override { return this; }
    HvDevice *device() const override { return dev; }
    Config::Placement placement() const override { return place; }
    void setPlacement(const Config::Placement &where) override { place = where; }
    QLatin1String placementWord() const override { return QLatin1String("hv"); }
    // Disables the sending controls and greys the values while the link is
    // not ready; Start's own enable rule goes through it.
    LinkGuard *linkGuard() const override { return guard; }
    SilenceBadge *silenceBadge() const override { return badge; }
    PanelNotice *notice() const override { return notices; }
    // The ramp rate and set voltage held back while the link was not ready.
    const UnsentEdits *unsentEdits() const { return unsent; }
    // Marks SetV while it holds a refused voltage, and the list's entries
    // that the module cannot reach.
    SetVGuard *setVGuard() const { return setVMarks; }

    Ui_aHV ui;
    QString &id;
    QString &driver;
    QString &ch;
    qint32 &col;
    qint32 &row;
    qint32 &colSpan;
    qint32 &rowSpan;
    double &maxV;
    double &vLimit;
    bool &vApplied;
    double &voltageTolerance;

private slots:
    void tesraIsReady(Tesra *s);
    QString devCh();
    bool checkMine(const SMsg &msg);
    void newSetV();
    void newRampRate();
    void hvOnOff();

public slots:
    void AnsGetMaxV(const SMsg &msg);
    void AnsGetVLimit(const SMsg &msg);
    void AnsGetV(const SMsg &msg);
    void AnsGetStat1(const SMsg &msg);
    void AnsGetRamp(const SMsg &msg);
    void AnsIsControllable(const SMsg &msg);
    void ChangedOnOff(const SMsg &msg);
    void ChangedStat(const SMsg &msg);
    void ChangedValue(const SMsg &msg);
    void ChangedRampRate(const SMsg &msg);

private:
    void build();
    // Shows a part of the device's state in the widgets.
    void showField(HvDevice::Field field);
    void showSetV();
    void watchSetVEdit();
    // The operator's edits of the set voltage, the status and the ramp rate
    // go to the device as they are typed.
    void takeSetV();

    LinkGuard *guard = nullptr;
    // What NowV shows: the newest value, laid out once per batch of lines.
    LatestText *nowV = nullptr;
    SetVGuard *setVMarks = nullptr;
    SilenceBadge *badge = nullptr;
    PanelNotice *notices = nullptr;
    UnsentEdits *unsent = nullptr;
    // Set while the widgets take the device's state.
    int showing = 0;
};
