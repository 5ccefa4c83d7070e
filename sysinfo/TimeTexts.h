// SPDX-License-Identifier: GPL-3.0-or-later
// The texts that show a run's elapsed and estimated remaining time.
#pragma once

#include "types/SharedTypes.h"

// "Calculating...", "Less than a minute..." or "Estimated: 1 hour 5 minutes ". Only the hour of
// the day and the minute of the hour count, so whole days do not show.
QString RemainingTimeText(TDateTime AEstimatedTime);
// "Elapsed: 1 hour(s) 3 seconds ": hours and minutes when not 0, seconds always.
QString ElapsedTimeText(TDateTime AElapsedTime);
