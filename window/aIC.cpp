// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/aIC.h"

#include "amplifier/aCA.h"
#include "client/Logging.h"
#include "hv/aHV.h"
#include "widgets/DevicePanel.h"

#include <QLabel>

aIC::aIC(QWidget *parent) : QFrame(parent)
{
    setupUi(this);
}

void aIC::placeUnits(aHV *hvPanel, aCA *ampPanel)
{
    QList<DevicePanel *> panels;
    if (hvPanel)
        panels << hvPanel;
    if (ampPanel)
        panels << ampPanel;
    place(panels);
}

void aIC::place(const QList<DevicePanel *> &panels)
{
    // The contract's two fields name the chamber's HV and amplifier panels.
    for (DevicePanel *panel : panels) {
        if (auto *hvPanel = dynamic_cast<aHV *>(panel))
            hv = hvPanel;
        else if (auto *ampPanel = dynamic_cast<aCA *>(panel))
            amp = ampPanel;
    }

    auto *label = new QLabel(name);
    Layout->addWidget(label, nameRow, nameColumn, 1, 1);
    for (DevicePanel *panel : panels) {
        const Config::Placement at = panel->placement();
        Layout->addWidget(panel->widget(), at.row, at.col, at.rowSpan, at.colSpan);
    }

    qCDebug(lcWindow).noquote() << "name" << nameRow << nameColumn;
    for (DevicePanel *panel : panels) {
        const Config::Placement at = panel->placement();
        qCDebug(lcWindow).noquote()
            << panel->placementWord() << at.row << at.col << at.rowSpan << at.colSpan;
    }
}
