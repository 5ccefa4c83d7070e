// SPDX-License-Identifier: GPL-3.0-or-later
// The windows the main window opens: one method per window. Production: TShellDialogWindows,
// which builds each window from ui/ with what it needs; tests: tests/support/TFakeShell.h.
// Adding a window: docs/architecture.md, "How to add a dialog".
#pragma once

#include "types/SharedTypes.h"

#include <QString>
#include <QStringList>

class QWidget;

enum class TExceptionChoice { Continue, Terminate };

class TShellDialogs
{
public:
  virtual ~TShellDialogs() = default;

  // After a run with failures; closes by itself after AAutoCloseSeconds, or only when the user
  // closes it when AAutoCloseSeconds is 0 or less.
  virtual void ShowFailedBackup(int AAutoCloseSeconds) = 0;
  // True when the user chose Backup; the ticked profiles are queued and AExitParameter is set.
  [[nodiscard]] virtual bool CustomBackup(TExitParameter& AExitParameter) = 0;
  virtual void ShowAbout(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport) = 0;
  // True while the options dialog is on screen.
  [[nodiscard]] virtual bool OptionsVisible() const = 0;
  // The options dialog; true when it ended with Ok.
  [[nodiscard]] virtual bool ShowOptions() = 0;
  // The password gate; true when the right password was given. When it is already on screen it
  // is brought to the front and the answer is false.
  [[nodiscard]] virtual bool CheckPassword(const QString& ACaption, const QString& APassword, int AAttempts) = 0;
  // The "Backup Alerts" action: queue the overdue profiles and ask; true when the queue should run now.
  [[nodiscard]] virtual bool BackupAlerts() = 0;
  // Before a profile's backup: closes or ends AActivePrograms ("window title=window class") and
  // shows those still open. True when the backup may go on: none was open, they have gone, or the
  // user chose to continue; false skips the profile as cancelled.
  [[nodiscard]] virtual bool CloseActiveApplications(const QStringList& AActivePrograms, bool ACloseGracefully) = 0;
  // Automatic updates on or off (off while the options are open and during the shutdown).
  virtual void SetAutoUpdateEnabled(bool AEnabled) = 0;
  // The profile editor on the named profile; true when the user confirmed it and it was stored.
  [[nodiscard]] virtual bool EditProfile(const QString& AProfileName) = 0;
  // The profile editor on a new profile; true when the user kept it and it was stored.
  [[nodiscard]] virtual bool NewProfile() = 0;
  // After an update or a first installation: the three documents, closable after ATimeout seconds.
  // Returns at once: the window stays on screen while the program goes on (and commands reach it).
  virtual void ShowUpdateInformation(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport,
                                     int ATimeout) = 0;
  // The program started with no profile at all: offers the profile wizard; true when a profile was
  // made and stored.
  [[nodiscard]] virtual bool OfferFirstProfile() = 0;
  // An error that reached the application: the exception window, modal, for this error only.
  // AClassName names the error's type.
  [[nodiscard]] virtual TExceptionChoice ShowException(QWidget* ASender, const QString& AMessage,
                                                       const QString& AClassName) = 0;
};
