// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/SilentDevices.h"

#include "client/AnswerWatch.h"
#include "devices/Device.h"
#include "widgets/SilenceBadge.h"

#include <algorithm>

SilentDevices::SilentDevices(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("SilentDevices"));
    setTextFormat(Qt::PlainText);
    // The label stays in the status bar, empty while no node is silent, so
    // that a note coming or going does not lay the bar out anew. It asks
    // for room for the first node's note only: the others show as far as
    // the bar has room, and all are in the tooltip.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void SilentDevices::follow(const QList<Device *> &devices)
{
    for (const Device *device : devices)
        watch(device->answerWatch());
}

void SilentDevices::watch(AnswerWatch *w)
{
    connect(w, &AnswerWatch::deviceSilent, this,
            [this, w](const QString &node, const QDateTime &since) { silent(w, node, since); });
    connect(w, &AnswerWatch::deviceAnswering, this, [this, w] { answering(w); });
    connect(w, &AnswerWatch::silenceDropped, this, [this, w] { answering(w); });
    connect(w, &QObject::destroyed, this, [this, w] { answering(w); });
}

void SilentDevices::silent(const AnswerWatch *w, const QString &node, const QDateTime &since)
{
    answering(w);
    silences.append({w, node, since});
    refresh();
}

void SilentDevices::answering(const AnswerWatch *w)
{
    const auto end = std::remove_if(silences.begin(), silences.end(),
                                    [w](const Silence &s) { return s.watch == w; });
    if (end == silences.end())
        return;
    silences.erase(end, silences.end());
    refresh();
}

QVector<SilentDevices::Silence> SilentDevices::byNode() const
{
    // Oldest first; of a node that several panels watch, its oldest silence.
    QVector<Silence> ordered = silences;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Silence &a, const Silence &b) { return a.since < b.since; });
    QVector<Silence> unique;
    for (const Silence &s : qAsConst(ordered)) {
        if (std::none_of(unique.cbegin(), unique.cend(),
                         [&s](const Silence &u) { return u.node == s.node; }))
            unique.append(s);
    }
    return unique;
}

QStringList SilentDevices::nodes() const
{
    QStringList names;
    for (const Silence &s : byNode())
        names.append(s.node);
    return names;
}

void SilentDevices::refresh()
{
    QStringList notes;
    for (const Silence &s : byNode())
        notes.append(SilenceBadge::note(s.node, s.since));
    setText(notes.join(QStringLiteral(", ")));
    setMinimumWidth(notes.isEmpty() ? 0
                                    : fontMetrics().boundingRect(notes.first()).width() +
                                          2 * (margin() + frameWidth()) + 2);
    setToolTip(notes.join(QLatin1Char('\n')));
}
