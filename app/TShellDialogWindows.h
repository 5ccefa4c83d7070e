// SPDX-License-Identifier: GPL-3.0-or-later
// The production windows behind TShellDialogs, each built at its first use.
#pragma once

#include "app/TShellDialogs.h"

#include <memory>

class TAutoUpdate;
class TBackupProfileManager;
class TDesktopProgramPicker;
class TFileManager;
class TLog;
class TProcessCommandRunner;
class TProfileEditing;
class TProgramSettings;
class TProgramWindows;
class TSystemSources;
class TWizardProgressWindow;
class TdlgUpdateInformation;
class TfrmAbout;
class TfrmActiveApplications;
class TfrmAutoUpdate;
class TfrmBackupProfileWizard;
class TfrmBackupProfiles;
class TfrmCustomBackup;
class TfrmFailedBackup;
class TfrmOptions;
class TfrmPassword;

class TShellDialogWindows : public TShellDialogs
{
public:
  // The manager (the profiles the editor changes and the queue the backup alerts fill) and
  // AWindows (other programs' windows, for closing the programs a profile lists) outlive this object.
  // The update window runs AAutoUpdate's checks with the options of ASettings and writes its lines
  // into ALog; the options dialog edits ASettings, reads ALog and shows the log file through
  // AFileManager. All of them outlive this object.
  TShellDialogWindows(TBackupProfileManager& ABackupProfileManager, TProgramWindows& AWindows, TAutoUpdate& AAutoUpdate,
                      TProgramSettings& ASettings, TLog& ALog, TFileManager& AFileManager);
  ~TShellDialogWindows() override;

  void ShowFailedBackup(int AAutoCloseSeconds) override;
  [[nodiscard]] bool CustomBackup(TExitParameter& AExitParameter) override;
  void ShowAbout(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport) override;
  [[nodiscard]] bool OptionsVisible() const override;
  [[nodiscard]] bool ShowOptions() override;
  [[nodiscard]] bool CheckPassword(const QString& ACaption, const QString& APassword, int AAttempts) override;
  [[nodiscard]] bool BackupAlerts() override;
  [[nodiscard]] bool CloseActiveApplications(const QStringList& AActivePrograms, bool ACloseGracefully) override;
  void SetAutoUpdateEnabled(bool AEnabled) override;
  void ShowUpdateInformation(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport,
                             int ATimeout) override;
  [[nodiscard]] TExceptionChoice ShowException(QWidget* ASender, const QString& AMessage,
                                               const QString& AClassName) override;
  [[nodiscard]] bool EditProfile(const QString& AProfileName) override;
  [[nodiscard]] bool NewProfile() override;
  [[nodiscard]] bool OfferFirstProfile() override;

private:
  // The profile editor and wizard, built at their first use and kept.
  TProfileEditing& ProfileEditing();
  TfrmOptions& Options();

  TBackupProfileManager& FBackupProfileManager;
  std::unique_ptr<TfrmActiveApplications> FActiveApplications;
  std::unique_ptr<TDesktopProgramPicker> FProgramPicker;
  std::unique_ptr<TfrmBackupProfiles> FBackupProfiles;
  std::unique_ptr<TProfileEditing> FProfileEditing;
  std::unique_ptr<TfrmAutoUpdate> FfrmAutoUpdate;
  std::unique_ptr<TdlgUpdateInformation> FUpdateInformation;
  // Built at their first use and kept: the About box must be found again while it is open.
  std::unique_ptr<TfrmFailedBackup> FFailedBackup;
  std::unique_ptr<TfrmCustomBackup> FCustomBackup;
  std::unique_ptr<TfrmAbout> FAbout;
  TProgramSettings& FSettings;
  TLog& FLog;
  TFileManager& FFileManager;
  std::unique_ptr<TProcessCommandRunner> FCommandRunner;
  std::unique_ptr<TSystemSources> FSystemSources;
  std::unique_ptr<TWizardProgressWindow> FWizardProgress;
  std::unique_ptr<TfrmBackupProfileWizard> FWizard;
  std::unique_ptr<TfrmOptions> FOptions;
  std::unique_ptr<TfrmPassword> FPassword;
};
