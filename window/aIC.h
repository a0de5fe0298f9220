// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui_aIC.h"

#include <QFrame>
#include <QString>

class aCA;
class aHV;

// The framed box that shows one ion chamber.
//
// The main window gives it the chamber's name and the place of the name
// label, then hands it the chamber's HV panel and amplifier panel; the group
// lays the three out in its own grid, each at the place the configuration
// gave it, and has no behaviour of its own after that.
class aIC : public QFrame, private Ui_aIC
{
public:
    explicit aIC(QWidget *parent = nullptr);

    // Stores both panels and places the name label and the panels in the
    // grid. Either panel may be missing (a chamber naming an unknown id);
    // the group then shows what it has.
    void placeUnits(aHV *hvPanel, aCA *ampPanel);

    QString name;
    int nameColumn = 0;
    int nameRow = 0;
    aHV *hv = nullptr;
    aCA *amp = nullptr;
};
