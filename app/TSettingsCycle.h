// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window asks of the application's options: the load cycle, saving, and the few
// options it reads itself. Production: TShellServices; tests: tests/support/TFakeShell.h.
#pragma once

#include <QString>

class TSettingsCycle
{
public:
  virtual ~TSettingsCycle() = default;

  // Registers and loads the options, checks the version and hands the options to the profile
  // manager and the action list.
  virtual void LoadApplicationSettings() = 0;
  // Saves the options, and as defaults too when ASaveDefaults. Raises on a failed write.
  virtual void SaveSettings(bool ASaveDefaults) = 0;
  [[nodiscard]] virtual bool DebugEnabled() const = 0;
  [[nodiscard]] virtual QString OptionsPassword() const = 0;
  // "ExitOnlyAfterSuccess": no exit action after a run that failed or was cancelled.
  [[nodiscard]] virtual bool ExitOnlyAfterSuccess() const = 0;
  // Remembers AIndex as the action selected last and stores it at once.
  virtual void StoreLastSelection(int AIndex) = 0;
  // The running version's release notes have been shown: stores the version at once, so that the
  // next start does not show them again. A failed write goes to the application log.
  virtual void StoreVersion() = 0;
};
