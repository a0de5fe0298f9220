// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LinkGuard.h"

#include <QWidget>

LinkGuard::LinkGuard(QObject *parent) : QObject(parent) {}

void LinkGuard::addControls(std::initializer_list<QWidget *> widgets)
{
    for (QWidget *widget : widgets) {
        // The widget's own flag, whatever its parents say.
        const bool own = widget->parentWidget() ? widget->isEnabledTo(widget->parentWidget())
                                                : widget->isEnabled();
        controls.append({widget, own});
    }
    apply();
}

void LinkGuard::addValues(std::initializer_list<QWidget *> widgets)
{
    for (QWidget *widget : widgets)
        values.append({widget, widget->toolTip()});
    apply();
}

void LinkGuard::setOwnEnabled(QWidget *control, bool enabled)
{
    for (Control &entry : controls) {
        if (entry.widget == control) {
            entry.own = enabled;
            control->setEnabled(enabled && !holding);
            return;
        }
    }
    control->setEnabled(enabled);
}

bool LinkGuard::ownEnabled(QWidget *control) const
{
    for (const Control &entry : controls) {
        if (entry.widget == control)
            return entry.own;
    }
    return control->isEnabled();
}

void LinkGuard::follow(Tesra *c)
{
    if (!c || c == client)
        return;
    if (client)
        disconnect(client, nullptr, this, nullptr);
    client = c;
    connect(client, &Tesra::LinkStateChanged, this, &LinkGuard::linkStateChanged);
    linkStateChanged(client->linkState());
}

void LinkGuard::linkStateChanged(Tesra::LinkState state)
{
    const bool ready = state == Tesra::LinkState::Ready;
    if (!ready && !holding && everReady)
        lostAt = QDateTime::currentDateTime();
    everReady = everReady || ready;
    holding = !ready;
    apply();
}

QString LinkGuard::staleText() const
{
    if (!everReady)
        return tr("Not connected yet: no value has arrived");
    return tr("Link lost at %1: this value may be out of date")
        .arg(lostAt.toString(QStringLiteral("HH:mm:ss")));
}

void LinkGuard::apply()
{
    for (const Control &entry : qAsConst(controls)) {
        if (entry.widget)
            entry.widget->setEnabled(entry.own && !holding);
    }
    const QString stale = holding ? staleText() : QString();
    for (const Value &entry : qAsConst(values)) {
        if (!entry.widget)
            continue;
        entry.widget->setEnabled(!holding);
        entry.widget->setToolTip(holding ? stale : entry.toolTip);
    }
}

QVector<QWidget *> LinkGuard::valueWidgets() const
{
    QVector<QWidget *> widgets;
    for (const Value &entry : values) {
        if (entry.widget)
            widgets.append(entry.widget);
    }
    return widgets;
}
