// SPDX-License-Identifier: GPL-3.0-or-later
// The profile editor's program picking and test closing, done with the desktop's real windows: the
// add-program window to pick one, the active-applications window to close the listed ones.
#pragma once

#include "ui/TProgramPicker.h"

#include <memory>

class TProgramWindows;
class TfrmActiveApplications;

class TDesktopProgramPicker : public TProgramPicker
{
public:
  // AWindows outlives this object.
  explicit TDesktopProgramPicker(TProgramWindows& AWindows);
  ~TDesktopProgramPicker() override;

  [[nodiscard]] bool PickProgram(QString& AWindowName, QString& AWindowClass) override;
  [[nodiscard]] bool CloseApplications(const QStringList& AActivePrograms, bool ACloseGracefully) override;

private:
  TProgramWindows& FWindows;
  std::unique_ptr<TfrmActiveApplications> FActiveApplications;
};
