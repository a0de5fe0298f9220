// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/aIC.h"

#include "amplifier/aCA.h"
#include "client/Logging.h"
#include "hv/aHV.h"

#include <QLabel>

aIC::aIC(QWidget *parent) : QFrame(parent)
{
    setupUi(this);
}

void aIC::placeUnits(aHV *hvPanel, aCA *ampPanel)
{
    hv = hvPanel;
    amp = ampPanel;

    auto *label = new QLabel(name);
    Layout->addWidget(label, nameRow, nameColumn, 1, 1);
    if (hv)
        Layout->addWidget(hv, hv->row, hv->col, hv->rowSpan, hv->colSpan);
    if (amp)
        Layout->addWidget(amp, amp->row, amp->col, amp->rowSpan, amp->colSpan);

    qCDebug(lcWindow).noquote() << "name" << nameRow << nameColumn;
    if (hv)
        qCDebug(lcWindow).noquote() << "hv" << hv->row << hv->col << hv->rowSpan << hv->colSpan;
    if (amp)
        qCDebug(lcWindow).noquote() << "ca" << amp->row << amp->col << amp->rowSpan << amp->colSpan;
}
