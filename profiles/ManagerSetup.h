// SPDX-License-Identifier: GPL-3.0-or-later
// The profile manager as the tray program and the terminal program both set it up: the same key
// store, folders and options, so that a run from either is the same run.
#pragma once

class TBackupProfileManager;
class TProgramSettings;

// The user's key, the program's profile, log and library folders.
void ConfigureUserManager(TBackupProfileManager& AManager);
// The "Debug" and "VerifyArchives" options and the SMTP options.
void ApplyOptionsToManager(TBackupProfileManager& AManager, const TProgramSettings& ASettings);
