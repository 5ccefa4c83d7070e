// SPDX-License-Identifier: GPL-3.0-or-later
// The profile wizard's "please wait" window: the program's small progress window.
#pragma once

#include "ui/TWizardProgress.h"

#include <memory>

class TdlgProgress;

class TWizardProgressWindow : public TWizardProgress
{
public:
  TWizardProgressWindow();
  ~TWizardProgressWindow() override;

  void ShowProgress(const QString& ACaption, bool AWaiting) override;
  void SetProgress(int AProgress) override;
  void UpdateProgress() override;
  void HideProgress() override;

private:
  std::unique_ptr<TdlgProgress> FWindow;
};
