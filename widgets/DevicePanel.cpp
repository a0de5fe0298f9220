// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/DevicePanel.h"

DevicePanel::~DevicePanel() = default;
