// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

class QWheelEvent;

// A combo box that the mouse wheel cannot turn.
//
// The panel's range selector sends "SetRange" to the amplifier on every change
// of its current entry; a wheel turn while the pointer merely passes over the
// box must not switch the device's range. Every other input reaches the box as
// usual.
class ComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit ComboBox(QWidget *parent = nullptr);

protected:
    void wheelEvent(QWheelEvent *e) override;
};
