// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class AlarmList;

// Shows on a chamber group's frame that one of its modules has an alarm to
// attend to.
//
// It follows the station's alarm list and, while any of the group's modules
// has an alarm that is neither acknowledged nor shelved, draws the group's
// edge in the colour of the highest severity among them: the band between
// the group's outline and its contents (its frame and its layout's margin),
// so that no panel inside is covered. It is a child of the group outside
// its layout, takes no mouse and no focus, and leaves every widget of the
// group as it is; hidden, it costs nothing.
class AlarmFrame : public QWidget
{
    Q_OBJECT

public:
    // modules: the section names of the group's panels.
    AlarmFrame(QWidget *group, AlarmList *list, const QStringList &modules);

    // The colour drawn; invalid while hidden.
    QColor colour() const { return shown; }
    // The band drawn, in the group's coordinates.
    QRect band() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void follow();

    QPointer<QWidget> group;
    QPointer<AlarmList> list;
    QStringList sections;
    QColor shown;
};
