// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PanelMarker.h"

#include "widgets/LinkGuard.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QRadioButton>
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

QVector<QRect> PanelMarker::keptClear(const QWidget *panel)
{
    QVector<QRect> kept;
    if (!panel)
        return kept;
    const QRect name = nameArea(panel);
    if (!name.isEmpty())
        kept.append(name);
    QVector<QWidget *> values;
    if (const auto *guard =
            panel->findChild<const LinkGuard *>(QString(), Qt::FindDirectChildrenOnly))
        values = guard->valueWidgets();
    for (QWidget *widget : panel->findChildren<QWidget *>()) {
        // A name the operator edits (a field) is kept clear whole, as a
        // control; a name label only where its text is.
        if (qobject_cast<PanelMarker *>(widget) || !widget->isVisibleTo(panel))
            continue;
        const bool control =
            qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
            qobject_cast<QComboBox *>(widget) || qobject_cast<QAbstractSpinBox *>(widget);
        if (!control && !values.contains(widget))
            continue;
        // A check or radio box is stretched by its layout, but its box and
        // text (all that shows, and all that takes a click) stay at its
        // left.
        QSize size = widget->size();
        if (qobject_cast<QCheckBox *>(widget) || qobject_cast<QRadioButton *>(widget))
            size = size.boundedTo(widget->sizeHint());
        kept.append(QRect(widget->mapTo(panel, QPoint(0, 0)), size));
    }
    return kept;
}

namespace {

bool isClear(const QRect &place, const QVector<QRect> &kept)
{
    return std::none_of(kept.begin(), kept.end(),
                        [&](const QRect &area) { return area.intersects(place); });
}

// The highest free place for a marker of that size, nearest the right edge:
// only the right edge and the left sides of what is kept clear can be the
// right-most free spots of a row, and only the top and the bottoms of what
// is kept clear can be the highest.
bool freePlace(const QSize &room, const QSize &own, const QVector<QRect> &kept, QRect &place)
{
    QVector<int> tops{0};
    QVector<int> lefts{room.width() - own.width()};
    for (const QRect &area : kept) {
        tops.append(area.bottom() + 1 + MarkerGap);
        lefts.append(area.left() - MarkerGap - own.width());
    }
    std::sort(tops.begin(), tops.end());
    std::sort(lefts.begin(), lefts.end(), std::greater<int>());
    for (const int top : qAsConst(tops)) {
        if (top + own.height() > room.height())
            break;
        for (const int left : qAsConst(lefts)) {
            if (left < 0)
                break;
            const QRect candidate(QPoint(left, top), own);
            if (isClear(candidate, kept)) {
                place = candidate;
                return true;
            }
        }
    }
    return false;
}

} // namespace

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
    QVector<QRect> kept = keptClear(panel);
    QVector<QRect> places;
    for (const PanelMarker *marker : qAsConst(shown)) {
        const QSize own = marker->sizeHint().boundedTo(room);
        // Beside the one before when there is room, so that they stack.
        QRect place;
        if (!places.isEmpty()) {
            place = QRect(
                QPoint(places.last().left() - MarkerGap - own.width(), places.last().top()), own);
            if (place.left() < 0 || !isClear(place, kept))
                place = QRect();
        }
        if (place.isNull() && !freePlace(room, own, kept, place))
            break;
        places.append(place);
        kept.append(place);
    }
    if (places.size() == shown.size()) {
        for (int i = 0; i < shown.size(); ++i)
            shown[i]->setGeometry(places[i]);
        return;
    }

    // No free place for all of them: the corner, off the name only.
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
