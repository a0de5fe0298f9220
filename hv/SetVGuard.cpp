// SPDX-License-Identifier: GPL-3.0-or-later
#include "hv/SetVGuard.h"

#include "client/Values.h"
#include "devices/Colours.h"
#include "devices/HVRules.h"

#include <QComboBox>
#include <QPalette>

const QString SetVGuard::MarkStyle = Colours::background(Colours::Colour::RefusedSetV);

SetVGuard::SetVGuard(QComboBox *b, QObject *parent) : QObject(parent), box(b)
{
    // Every change of the text, typed or chosen, may end the mark.
    connect(box, &QComboBox::currentTextChanged, this, &SetVGuard::recheck);
    // Entries are added after construction and at any time.
    connect(box->model(), &QAbstractItemModel::rowsInserted, this, &SetVGuard::showEntries);
}

void SetVGuard::setModuleLimits(double max, double limit)
{
    maxV = max;
    vLimit = limit;
    showEntries();
    if (marked)
        box->setToolTip(aboveText());
    recheck();
}

bool SetVGuard::isAbove(double voltage) const
{
    return HVRules::aboveUsableMaximum(voltage, maxV, vLimit);
}

void SetVGuard::markRefused()
{
    if (!marked) {
        plainStyle = box->styleSheet();
        plainToolTip = box->toolTip();
        marked = true;
        box->setStyleSheet(MarkStyle);
    }
    box->setToolTip(aboveText());
}

QString SetVGuard::maximumText() const
{
    return HVRules::formatVoltage(HVRules::usableMaximum(maxV, vLimit));
}

QString SetVGuard::aboveText() const
{
    return tr("above the usable maximum of %1 V").arg(maximumText());
}

void SetVGuard::recheck()
{
    if (marked && !isAbove(Values::toNumber(box->currentText())))
        clearMark();
}

void SetVGuard::clearMark()
{
    marked = false;
    box->setStyleSheet(plainStyle);
    box->setToolTip(plainToolTip);
}

void SetVGuard::showEntries()
{
    const QBrush dimmed = box->palette().brush(QPalette::Disabled, QPalette::Text);
    const QString note = aboveText();
    // An editable box puts the current entry's text back into its line edit
    // whenever that entry's data changes, which would throw away a voltage
    // the operator has typed (or a restore has filled in). So only what
    // really changes is set, and the typed text is kept across it.
    const QString typed = box->currentText();
    for (int i = 0; i < box->count(); ++i) {
        const bool above = isAbove(Values::toNumber(box->itemText(i)));
        const QVariant foreground = above ? QVariant(dimmed) : QVariant();
        const QVariant toolTip = above ? QVariant(note) : QVariant();
        if (box->itemData(i, Qt::ForegroundRole) != foreground)
            box->setItemData(i, foreground, Qt::ForegroundRole);
        if (box->itemData(i, Qt::ToolTipRole) != toolTip)
            box->setItemData(i, toolTip, Qt::ToolTipRole);
    }
    if (box->isEditable() && box->currentText() != typed)
        box->setEditText(typed);
}
