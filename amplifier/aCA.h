// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/SMsg.h"
#include "devices/AmplifierDevice.h"
#include "ui_aCA.h"
#include "widgets/DevicePanel.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QResizeEvent;
class LinkGuard;
class PanelNotice;
class SilenceBadge;
class Tesra;
class UnsentEdits;

// The panel of one CA5350 current amplifier: a view of its device.
//
// The device (AmplifierDevice) holds the amplifier's state and speaks its
// protocol; the panel shows what the device holds and hands every operator
// change of its widgets to the device, which sends the command and its
// follow-up query. A reply that the device decodes moves the panel's widgets
// through the device, so the wire carries exactly what the operator's change
// of that widget sends. The panel's own slots, the names its contract gives
// them, do what the contract says when they are called: each runs the
// matching operation of its device.
//
// A panel made without a device makes its own (the main window builds its
// panels on the station's devices instead). The fields that the contract
// names (id, driver, ch, client, ready, the placement, the two style sheets)
// refer to the state that holds them, so writing one writes the device's
// address or the panel's place; the program itself uses the accessors.
class aCA : public QWidget, public DevicePanel
{
    Q_OBJECT

    // The state behind the contract's fields; declared first, as the fields
    // refer to it.
    QPointer<AmplifierDevice> dev;
    Config::Placement place{1, 0, 1, 1};
    QString styleWithoutAlert;
    QString styleOfAlert;

public:
    aCA();
    explicit aCA(AmplifierDevice *device);
    ~aCA() override;

    // Configuration calls made by the main window, in this order; each is
    // the device's.
    void setClient(Tesra *c);
    void setModuleName(const QString &name);
    void setTCTable(const QStringList &list);
    void setRangeTable(const QStringList &list);
    void setCSprTableFile(const QString &fileName);
    void setPollErrors(bool on);
    // Makes the panel and its device inert: the client's signals, the
    // panel's own fields and the device's timer no longer reach a slot, and
    // nothing more is sent. The main window calls it when it starts closing;
    // the destructor calls it first, before the child widgets are hidden and
    // lose the focus, which would otherwise run the slots of a
    // half-destroyed panel.
    void releaseClient() override;

    bool isReady() const;
    bool pollsErrors() const;
    QString cSprFile() const;
    const CSprTable &cSprTable() const;
    // The last capture of a status letter (A, B, C, H, ... Z), or the empty
    // text for a letter that the panel does not keep.
    QString statusOf(QChar letter) const;

    // DevicePanel
    QWidget *widget() override { return this; }
    AmplifierDevice *device() const override { return dev; }
    Config::Placement placement() const override { return place; }
    void setPlacement(const Config::Placement &where) override { place = where; }
    QLatin1String placementWord() const override { return QLatin1String("ca"); }
    // Disables the sending controls and greys the values while the link is
    // not ready.
    LinkGuard *linkGuard() const override { return guard; }
    // Shows when the amplifier node leaves the device's requests unanswered.
    SilenceBadge *silenceBadge() const override { return badge; }
    PanelNotice *notice() const override { return notices; }
    // The module name, suppression value and bias voltage held back while
    // the link was not ready.
    const UnsentEdits *unsentEdits() const { return unsent; }

    Ui_aCA ui;
    Tesra *&client;
    bool &ready;
    QString &id;
    QString &driver;
    QString &ch;
    QString &normalStyle;
    QString &alertStyle;
    int &col;
    int &row;
    int &colSpan;
    int &rowSpan;

signals:
    void resized();

private slots:
    void tesraIsReady(Tesra *s);
    QString devCh();
    bool checkMine(const SMsg &msg);
    void doPolling();
    void selectedZeroCheck(bool f);
    void reset();
    void selectedNewRange(int i);
    void selectedCSprUse(bool f);
    void selectedCSprFromTable(bool f);
    void changedCSprTableIndex(int i);
    void setAValToCSprTable();
    void selectedFilterUse(bool f);
    void selectedNewTC(int i);
    void changeFilterMode(bool f);
    void newCSpr();
    void changedVBiasMode(bool f);
    void newVBias();
    void selectedInput(bool f);
    void selectedBackLightMode(bool f);
    void askShowStat();
    void askGetError();
    void AnsGetStatus(const SMsg &msg);
    void AnsGetRange(const SMsg &msg);
    void AnsGetCurrentSurpressionValue(const SMsg &msg);
    void AnsGetVoltageBiasRange(const SMsg &msg);
    void AnsGetSRQ(const SMsg &msg);
    void AnsGetErrorStatus(const SMsg &msg);
    void EvSRQChanged(const SMsg &msg);
    void EvRangeChanged(const SMsg &msg);
    void ReceiveSRQ(const SMsg &msg);
    void sendMyName();
    void showDetails(bool f);
    void resizeEvent(QResizeEvent *e) override;

private:
    void build();
    // The operator's changes of the widgets go to the device; while the
    // panel shows the device's state, the widgets' own signals are the
    // device's doing and go nowhere.
    void forwardSwitch(QAbstractButton *button, AmplifierDevice::Switch which);
    void forwardBackLight(QAbstractButton *button, AmplifierDevice::BackLight setting);
    void forwardChoice(QComboBox *box, void (AmplifierDevice::*choose)(int));
    // Shows a part of the device's state in the widgets.
    void showField(AmplifierDevice::Field field);
    void showAll();
    void showSwitches();
    static void showChoice(QComboBox *box, const QStringList &items, int index);
    QAbstractButton *buttonOf(AmplifierDevice::Switch which) const;
    QAbstractButton *buttonOf(AmplifierDevice::BackLight setting) const;

    QButtonGroup *backLightGroup = nullptr;
    LinkGuard *guard = nullptr;
    SilenceBadge *badge = nullptr;
    PanelNotice *notices = nullptr;
    UnsentEdits *unsent = nullptr;
    // Set while the widgets take the device's state.
    int showing = 0;
};
