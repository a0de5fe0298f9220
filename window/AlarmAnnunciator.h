// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QPointer>
#include <QTimer>

class AlarmList;

// The status bar's word on the alarms: while an alarm is neither
// acknowledged nor shelved, how many there are, in the colour of the highest
// severity among them, blinking while a major one is among them. Empty and
// out of the way while there is none. With the station's "Alarm Sound" it
// beeps at once and every SoundMs until each is acknowledged or shelved. A
// click on it asks for the alarm list. Like the other texts of the status
// bar it does not widen the window for its words: short of room it shows
// the count alone, which it always has room for, and its tooltip has the
// whole text.
class AlarmAnnunciator : public QLabel
{
    Q_OBJECT

public:
    static constexpr int BlinkMs = 500;
    static constexpr int SoundMs = 10000;

    explicit AlarmAnnunciator(AlarmList *list, QWidget *parent = nullptr);

    void setSound(bool on);
    // The text drawn at the present width: the whole text, or the count.
    QString shownText() const;
    QSize minimumSizeHint() const override;
    bool isBlinking() const { return blink.isActive(); }
    bool isSounding() const { return sound.isActive(); }

signals:
    void clicked();
    // Each beep, as it is given.
    void beeped();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();
    void toggle();
    void beep();

    QPointer<AlarmList> list;
    QTimer blink;
    QTimer sound;
    bool soundOn = false;
    bool lit = true;
    QString countText;
    QString litStyle;
    QString dimStyle;
};
