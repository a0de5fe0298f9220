// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ComboBox.h"

ComboBox::ComboBox(QWidget *parent) : QComboBox(parent) {}

void ComboBox::wheelEvent(QWheelEvent *e)
{
    // Deliberately empty: the entry stays as it is, and the event is neither
    // accepted nor ignored here.
    Q_UNUSED(e)
}
