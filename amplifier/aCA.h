// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/SMsg.h"
#include "devices/CA5350Status.h"
#include "station/CSprTable.h"
#include "station/Snapshot.h"
#include "ui_aCA.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <optional>

class AnswerWatch;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QResizeEvent;
class LinkGuard;
class PanelNotice;
class QTimer;
class SilenceBadge;
class Tesra;
class UnsentEdits;

// The panel of one CA5350 current amplifier.
//
// Operator actions on the form's widgets become command lines sent through
// the shared Tesra client to the amplifier's device node (driver, or
// driver.ch), each followed by the query that brings the answer back. Replies
// addressed to the panel's own sub-name (id) and events from its device node
// come back through the client's delivery (Tesra::Deliver) and are decoded
// into the widgets.
// The widgets keep their signals while a reply is decoded, so a widget that
// the device's state changes re-sends its command, and the next reply, which
// then agrees with the widgets, ends the exchange. A per-amplifier
// current-suppression table (CSprTable) supplies values by range.
class aCA : public QWidget
{
    Q_OBJECT

public:
    aCA();
    ~aCA() override;

    // Configuration calls made by the main window, in this order.
    void setClient(Tesra *c);
    void setModuleName(const QString &name);
    void setTCTable(const QStringList &list);
    void setRangeTable(const QStringList &list);
    void setCSprTableFile(const QString &fileName);
    // Whether the panel asks the amplifier for its error status every 500 ms
    // once the connection is ready. Off by default.
    void setPollErrors(bool on);
    // Makes the panel inert: the client's signals, the panel's own fields and
    // its timer no longer reach its slots, and it holds no client, so nothing
    // more is sent. The main window calls it when it starts closing; the
    // destructor calls it first, before the child widgets are hidden and lose
    // the focus, which would otherwise run the slots of a half-destroyed panel.
    void releaseClient();

    bool isReady() const { return ready; }
    bool pollsErrors() const { return pollErrors; }
    QString cSprFile() const { return csprFile; }
    const CSprTable &cSprTable() const { return csprTable; }
    // The last capture of a status letter (A, B, C, H, ... Z), or the empty
    // text for a letter that the panel does not keep.
    QString statusOf(QChar letter) const;

    // What the amplifier last reported for a snapshot setting, in the
    // snapshot's terms (the status letters, the range, suppression value and
    // bias voltage answers as they came); null until it has answered since
    // the link was last ready.
    QJsonValue reported(AmpSetting setting) const;
    // Moves the setting's widget to value as an operator's change would, so
    // that the panel sends exactly the lines of that change, follow-up query
    // included. False when the panel offers no way to: a range or time
    // constant that its tables do not hold, a suppression value of 0 or an
    // empty bias voltage (which its fields never send), a value of the wrong
    // kind.
    bool operate(AmpSetting setting, const QJsonValue &value);
    // Whether a value query (status, range, suppression value, bias voltage)
    // that the panel sent on this link still waits for its answer.
    bool awaitsAnswers() const;
    // Whether every value query has had an answer on this link.
    bool hasAnswered() const;
    // Sends the four value queries again.
    void askValues();

    Ui_aCA ui;
    // Disables the sending controls and greys the values while the link is
    // not ready.
    LinkGuard *linkGuard = nullptr;
    // Tells when the amplifier node leaves the panel's requests unanswered
    // (deviceSilent, deviceAnswering); the badge shows it on the panel.
    AnswerWatch *answerWatch = nullptr;
    SilenceBadge *silenceBadge = nullptr;
    // What the panel tells the operator beyond its fields, for the window's
    // status bar.
    PanelNotice *notice() const { return notices; }
    // The module name, suppression value and bias voltage held back while
    // the link was not ready.
    const UnsentEdits *unsentEdits() const { return unsent; }
    Tesra *client = nullptr;
    bool ready = false;
    QString id;
    QString driver;
    QString ch;
    QString normalStyle;
    QString alertStyle;
    int col = 1;
    int row = 0;
    int colSpan = 1;
    int rowSpan = 1;

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
    // Keeps two buttons in opposite states: checking or unchecking one sets
    // the other to the reverse.
    void keepOpposite(QAbstractButton *first, QAbstractButton *second);

    // Has the client deliver the panel's replies and events to its slots.
    void takeMessages();
    void send(const QString &command);
    // A command followed by the status query that brings the widgets back in
    // line with the device.
    void sendThenStatus(const QString &command);
    QString decodeStatus(const QString &text);
    // The texts of RangeSCB's items, in order.
    QStringList rangeTexts() const;
    void loadCSprTable();
    void applyCSprFromTable(int rangeIndex);
    // A switch set by operate: the button is set, or, when it shows the
    // value already, its slot runs as the button's change would run it.
    bool operateSwitch(QAbstractButton *button, const QJsonValue &value, void (aCA::*slot)(bool));
    bool operateChoice(QComboBox *box, int index, void (aCA::*slot)(int));

    // The value queries, counted as they are sent and answered on each link.
    enum Query { StatusQuery, RangeQuery, SuppressionQuery, BiasQuery, QueryCount };
    void countAnswer(Query query);
    std::array<int, QueryCount> asked{};
    std::array<int, QueryCount> answered{};
    // Whether status holds a status of this link, and the other answers of
    // this link as they came.
    bool statusKnown = false;
    std::optional<QString> lastRange;
    std::optional<QString> lastSuppression;
    std::optional<QString> lastBias;

    PanelNotice *notices = nullptr;
    UnsentEdits *unsent = nullptr;
    QStringList tcTable;
    CSprTable csprTable;
    QTimer *pollTimer = nullptr;
    CA5350::Status status;
    QString csprFile;
    QButtonGroup *backLightGroup = nullptr;
    bool pollErrors = false;
};
