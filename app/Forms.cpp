// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Forms.h"

#include "app/TfrmBackupProgress.h"
#include "app/TfrmExitConfirm.h"
#include "app/TfrmOrvel.h"

TfrmOrvel* frmOrvel = nullptr;
TfrmBackupProgress* frmBackupProgress = nullptr;
TfrmExitConfirm* frmExitConfirm = nullptr;

namespace {

template <typename T> void Free(T*& AForm)
{
  T* form = AForm;
  AForm = nullptr;
  delete form;
}

} // namespace

void CreateForms(std::unique_ptr<TSessionControl> ASessionControl)
{
  // The order of the program's windows; those not listed here join it in their place:
  // main window, active applications, add program, backup alert, backup profiles, backup
  // progress, custom backup, e-mail details, failed backup, options, about, exit confirmation,
  // SMTP details, profile wizard, password.
  frmOrvel = new TfrmOrvel(std::move(ASessionControl));
  frmBackupProgress = new TfrmBackupProgress;
  frmExitConfirm = new TfrmExitConfirm;
}

void FreeForms()
{
  Free(frmExitConfirm);
  Free(frmBackupProgress);
  Free(frmOrvel);
}
