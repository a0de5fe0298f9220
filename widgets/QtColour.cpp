// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/QtColour.h"

QColor qtColour(Colours::Colour colour)
{
    const Colours::Rgba c = Colours::rgba(colour);
    return QColor(c.red, c.green, c.blue, c.alpha);
}
