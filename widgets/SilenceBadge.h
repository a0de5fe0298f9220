// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

class AnswerWatch;
class PanelMarker;
class QWidget;

// Shows on a panel that its device node has stopped answering.
//
// It follows the panel's AnswerWatch and lays a badge over the panel (where
// every marker goes, see PanelMarker) while the node is silent, with the whole note ("hvps.2 not
// answering since 12:03:05") as its tooltip; the badge goes as soon as the
// node sends anything, or the link goes down. It is a warning, not a lost
// link: nothing of the panel is disabled, and no widget of the panel changes
// its text, colours, state, size or place.
class SilenceBadge : public QObject
{
    Q_OBJECT

public:
    SilenceBadge(QWidget *panel, AnswerWatch *watch);

    PanelMarker *marker() const { return badge; }

    // The note for a node silent since a time, as the tooltip and the
    // status bar say it.
    static QString note(const QString &node, const QDateTime &since);
    // The badge's own few characters.
    static QString badgeText();

private:
    PanelMarker *badge;
};
