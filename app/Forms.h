// SPDX-License-Identifier: GPL-3.0-or-later
// The windows created once at start-up, reachable by their global names.
#pragma once

#include "platform/TSessionControl.h"

#include <memory>

class TfrmBackupProgress;
class TfrmExitConfirm;
class TfrmOrvel;

extern TfrmOrvel* frmOrvel;
extern TfrmBackupProgress* frmBackupProgress;
extern TfrmExitConfirm* frmExitConfirm;

// Creates the windows in their fixed order, the main window first.
void CreateForms(std::unique_ptr<TSessionControl> ASessionControl = nullptr);
// Frees them in the reverse order and clears the references.
void FreeForms();
