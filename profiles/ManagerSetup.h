// SPDX-License-Identifier: GPL-3.0-or-later
// The profile manager as the tray program and the terminal program both set it up: the same key
// store, folders and options, so that a run from either is the same run.
#pragma once

#include "sysinfo/SharedTypes.h"

class TBackupProfileManager;
class TProgramSettings;

// The storage the "StorageType" option selects; anything but INI (or no such option) keeps the
// registry, the one storage that holds profiles.
TBackupProfileStorageType StoredStorageType(const TProgramSettings& ASettings);
// The user's key, the program's profile, log and library folders.
void ConfigureUserManager(TBackupProfileManager& AManager);
// The "Debug" and "VerifyArchives" options and the SMTP options.
void ApplyOptionsToManager(TBackupProfileManager& AManager, const TProgramSettings& ASettings);
