// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/Colours.h"

#include <QColor>

// A row of the colour table as the widgets paint it.
QColor qtColour(Colours::Colour colour);
