// SPDX-License-Identifier: GPL-3.0-or-later
// The "please wait" window the profile wizard shows while it looks at the computer and builds the
// file list; the program hands in its progress window, tests a recorder.
#pragma once

#include <QString>

class TWizardProgress
{
public:
  virtual ~TWizardProgress() = default;

  // Shows ACaption with times; AWaiting shows a busy animation instead of a percentage.
  virtual void ShowProgress(const QString& ACaption, bool AWaiting) = 0;
  virtual void SetProgress(int AProgress) = 0;
  // Lets the window repaint between steps.
  virtual void UpdateProgress() = 0;
  virtual void HideProgress() = 0;
};
