// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PanelMarker.h"

#include <QEvent>
#include <QFontMetrics>
#include <QVariant>
#include <algorithm>

namespace {

// The object name of a panel's name widget (a label or a line edit).
const char NameWidget[] = "ModuleName";
// Room a name widget keeps around its text (frame and inner margins of a
// line edit, a label's indent), so that the text itself stays clear.
constexpr int NamePadding = 8;
// Between two markers side by side.
constexpr int MarkerGap = 1;

} // namespace

QString PanelMarker::badgeStyle(Colours::Colour fill, Colours::Colour text, Colours::Colour frame)
{
    return QStringLiteral("%1 color: %2; border: 1px solid %3; border-radius: 3px;")
        .arg(Colours::background(fill), Colours::css(text), Colours::css(frame));
}

PanelMarker::PanelMarker(QWidget *panelWidget, Kind kind, const QString &styleSheet)
    : QLabel(panelWidget), panel(panelWidget), markerKind(kind)
{
    setStyleSheet(styleSheet);
    setFocusPolicy(Qt::NoFocus);
    setMargin(1);
    hide();
    if (panel)
        panel->installEventFilter(this);
}

void PanelMarker::setNote(const QString &noteText, const QString &noteToolTip)
{
    if (noteText.isEmpty()) {
        clearNote();
        return;
    }
    setText(noteText);
    setToolTip(noteToolTip);
    adjustSize();
    arrange(panel);
    raise();
    show();
}

void PanelMarker::clearNote()
{
    clear();
    setToolTip(QString());
    hide();
    // The others close up.
    arrange(panel);
}

bool PanelMarker::eventFilter(QObject *watched, QEvent *event)
{
    // Keep to the corner as the panel is laid out anew, and above any
    // widget the panel adds later.
    if (watched == panel && (event->type() == QEvent::Resize || event->type() == QEvent::Show) &&
        isShown()) {
        arrange(panel);
        raise();
    }
    return QLabel::eventFilter(watched, event);
}

QRect PanelMarker::nameArea(const QWidget *panel)
{
    if (!panel)
        return QRect();
    const auto *name = panel->findChild<const QWidget *>(QLatin1String(NameWidget));
    if (!name || !name->isVisibleTo(panel))
        return QRect();
    const QString text = name->property("text").toString();
    const int width =
        std::min(name->width(), name->fontMetrics().horizontalAdvance(text) + 2 * NamePadding);
    return QRect(name->mapTo(panel, QPoint(0, 0)), QSize(width, name->height()));
}

void PanelMarker::arrange(QWidget *panel)
{
    if (!panel)
        return;
    QVector<PanelMarker *> shown;
    for (PanelMarker *marker :
         panel->findChildren<PanelMarker *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (marker->isShown())
            shown.append(marker);
    }
    std::stable_sort(shown.begin(), shown.end(), [](const PanelMarker *a, const PanelMarker *b) {
        return a->kind() < b->kind();
    });

    const QSize room = panel->size();
    const QRect name = nameArea(panel);
    int right = room.width();
    int top = 0;
    int rowHeight = 0;
    for (PanelMarker *marker : qAsConst(shown)) {
        const QSize own = marker->sizeHint().boundedTo(room);
        QRect place(QPoint(right - own.width(), top), own);
        const bool rowStarted = right < room.width();
        if (rowStarted && (place.left() < 0 || place.intersects(name))) {
            top += rowHeight + MarkerGap;
            rowHeight = 0;
            right = room.width();
            place.moveTopRight(QPoint(right - 1, top));
        }
        if (place.intersects(name)) {
            top = name.bottom() + 1;
            place.moveTop(top);
        }
        marker->setGeometry(place);
        right = place.left() - MarkerGap;
        rowHeight = std::max(rowHeight, own.height());
    }
}
