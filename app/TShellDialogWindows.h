// SPDX-License-Identifier: GPL-3.0-or-later
// The production windows behind TShellDialogs. Windows not built yet answer as a cancelled
// dialog would and say so in the program's warnings.
#pragma once

#include "app/TShellDialogs.h"

#include <memory>

class TAutoUpdate;
class TLog;
class TProgramSettings;
class TfrmAutoUpdate;

class TShellDialogWindows : public TShellDialogs
{
public:
  // The update window reads its options from ASettings and writes its lines into ALog.
  TShellDialogWindows(TProgramSettings& ASettings, TLog& ALog);
  ~TShellDialogWindows() override;

  void ShowFailedBackup(int AAutoCloseSeconds) override;
  [[nodiscard]] bool CustomBackup(TExitParameter& AExitParameter) override;
  void ShowAbout(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport) override;
  [[nodiscard]] bool OptionsVisible() const override;
  [[nodiscard]] bool ShowOptions() override;
  [[nodiscard]] bool CheckPassword(const QString& ACaption, const QString& APassword, int AAttempts) override;
  [[nodiscard]] bool BackupAlerts() override;
  void SetAutoUpdateEnabled(bool AEnabled) override;
  void ShowUpdateInformation(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport,
                             int ATimeout) override;
  [[nodiscard]] TExceptionChoice ShowException(QWidget* ASender, const QString& AMessage,
                                               const QString& AClassName) override;

private:
  std::unique_ptr<TAutoUpdate> FAutoUpdate;
  std::unique_ptr<TfrmAutoUpdate> FfrmAutoUpdate;
};
