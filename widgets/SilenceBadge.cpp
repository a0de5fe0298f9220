// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/SilenceBadge.h"

#include "client/AnswerWatch.h"
#include "devices/Colours.h"
#include "widgets/PanelMarker.h"

namespace {

// Amber, as a warning that is not an alarm: the panels' own alarm colour is
// red.
QString badgeStyle()
{
    return PanelMarker::badgeStyle(Colours::Colour::SilenceBadge, Colours::Colour::BadgeText,
                                   Colours::Colour::SilenceBadgeFrame);
}

} // namespace

SilenceBadge::SilenceBadge(QWidget *panel, AnswerWatch *watch)
    : QObject(panel), badge(new PanelMarker(panel, PanelMarker::Kind::Silence, badgeStyle()))
{
    badge->setObjectName(QStringLiteral("SilenceMarker"));
    connect(watch, &AnswerWatch::deviceSilent, this,
            [this](const QString &node, const QDateTime &since) {
                badge->setNote(badgeText(), note(node, since));
            });
    connect(watch, &AnswerWatch::deviceAnswering, badge, &PanelMarker::clearNote);
    connect(watch, &AnswerWatch::silenceDropped, badge, &PanelMarker::clearNote);
}

QString SilenceBadge::note(const QString &node, const QDateTime &since)
{
    return tr("%1 not answering since %2").arg(node, since.toString(QStringLiteral("HH:mm:ss")));
}

QString SilenceBadge::badgeText()
{
    // A single sign: the badge floats over the panel and, where the panel
    // has no free room for it, must leave as much as it can of what is under
    // it in view and in reach.
    return tr("!");
}
