// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/SMsg.h"
#include "station/Snapshot.h"
#include "ui_aHV.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

class AnswerWatch;
class LatestText;
class LinkGuard;
class PanelNotice;
class SetVGuard;
class SilenceBadge;
class Tesra;
class UnsentEdits;

// The panel of one high-voltage supply module.
//
// The main window creates it, hands it the shared client and writes its
// addressing and placement fields. On every ready connection the panel
// subscribes to its module node and asks for the module's values. Replies and
// events addressed to its own id come in through the client's delivery (see
// Tesra::Deliver), and the panel shows them in its fields and in the colour of
// the Start button. The operator's set voltage, ramp rate and Start presses go
// out as "SetRamp" and "SetV" lines to the module node; a set voltage above the
// module's usable maximum is refused instead and SetV marked (see SetVGuard),
// since the module would only limit it while the panel showed it as applied.
// Ramping down is never refused. The only state beyond
// the widgets is vApplied: whether a non-zero set voltage is taken to be on;
// and, until the batch of lines it came in is over, the newest value that
// NowV is about to show (see LatestText).
class aHV : public QWidget
{
    Q_OBJECT

public:
    explicit aHV(QWidget *parent = nullptr);
    ~aHV() override;

    void setClient(Tesra *tesra);
    void setVoltageList(const QStringList &voltages);
    void selectVoltage(const QString &voltage);
    void setVoltageEditable(bool editable);
    // Makes the panel inert: the client's signals and the panel's own fields
    // no longer reach its slots, and it holds no client, so nothing
    // more is sent. The main window calls it when it starts closing; the
    // destructor calls it first, before the child widgets are hidden and lose
    // the focus, which would otherwise run the slots of a half-destroyed panel.
    void releaseClient();

    // What the module last reported for a snapshot setting, as it reported
    // it, null until it has answered since the link was last ready; the set
    // voltage is the panel's own SetV text.
    QJsonValue reported(HvSetting setting) const;
    // Puts voltage into SetV as the text of the set voltage, sending
    // nothing: Start applies it when the operator decides. A box that takes
    // no typed values selects its entry of that text. False when SetV does
    // not show the voltage afterwards.
    bool fillSetV(const QString &voltage);
    // Whether the module has answered every value query on this link.
    bool hasAnswered() const { return lastMaxV && lastVLimit && lastV && lastRamp && lastStat; }

    Ui_aHV ui;
    // Disables the sending controls and greys the values while the link is
    // not ready; Start's own enable rule goes through it.
    LinkGuard *linkGuard = nullptr;
    // Marks SetV while it holds a refused voltage, and the list's entries
    // that the module cannot reach.
    SetVGuard *setVGuard = nullptr;
    // Tells when the module node leaves the panel's requests unanswered
    // (deviceSilent, deviceAnswering); the badge shows it on the panel.
    AnswerWatch *answerWatch = nullptr;
    SilenceBadge *silenceBadge = nullptr;

    // What the panel tells the operator beyond its fields, for the window's
    // status bar.
    PanelNotice *notice() const { return notices; }
    // The ramp rate and set voltage held back while the link was not ready.
    const UnsentEdits *unsentEdits() const { return unsent; }

private:
    Tesra *client = nullptr;
    PanelNotice *notices = nullptr;
    UnsentEdits *unsent = nullptr;
    // What NowV shows: the newest value, laid out once per batch of lines.
    LatestText *nowV = nullptr;
    // The module's answers on this link, as they came.
    std::optional<QString> lastMaxV;
    std::optional<QString> lastVLimit;
    std::optional<QString> lastV;
    std::optional<QString> lastRamp;
    std::optional<QString> lastStat;

public:
    QString id;
    QString driver;
    QString ch;
    qint32 col = 0;
    qint32 row = 0;
    qint32 colSpan = 1;
    qint32 rowSpan = 1;
    double maxV = 0;
    double vLimit = 0;
    bool vApplied = false;
    double voltageTolerance = 0;

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
    // Has the client deliver the panel's replies and events to its slots.
    void takeMessages();
    void applySetV();
    void setStatColor(const QString &status);
    void showMaxV();
    void sendToModule(const QString &message, const QString &params = QString());
    void sendRamp();
    void watchSetVEdit();
};
