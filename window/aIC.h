// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui_aIC.h"

#include <QFrame>
#include <QList>
#include <QString>

class DevicePanel;
class aCA;
class aHV;

// The framed box that shows one ion chamber.
//
// The main window gives it the chamber's name and the place of the name
// label, then hands it the chamber's panels; the group lays out the name
// label and the panels in its own grid, each at the place the configuration
// gave it, and has no behaviour of its own after that.
class aIC : public QFrame, private Ui_aIC
{
public:
    explicit aIC(QWidget *parent = nullptr);

    // Places the name label and the panels given, in order, whatever their
    // kind, and keeps the HV and amplifier panels among them in hv and amp.
    // A chamber naming an unknown id hands fewer panels; the group then
    // shows what it has.
    void place(const QList<DevicePanel *> &panels);
    // The chamber's HV panel and amplifier panel, placed as place() places
    // them; either may be missing.
    void placeUnits(aHV *hvPanel, aCA *ampPanel);

    QString name;
    int nameColumn = 0;
    int nameRow = 0;
    aHV *hv = nullptr;
    aCA *amp = nullptr;
};
