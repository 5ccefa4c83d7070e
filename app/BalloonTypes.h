// SPDX-License-Identifier: GPL-3.0-or-later
// The kinds of tray balloon; the ordinals are the icons' order in the tray's balloon.
#pragma once

enum TBalloonType : int { btNone = 0, btError = 1, btInfo = 2, btWarning = 3 };
