// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window asks of the profile manager: loading and saving the profiles, the queue,
// the run and the overdue check. Production: TShellServices; tests: tests/support/TFakeShell.h.
#pragma once

#include <QStringList>

class TBackupRunner
{
public:
  virtual ~TBackupRunner() = default;

  // Configures the manager, binds its events to the main window and loads the profiles.
  virtual void LoadBackupProfiles() = 0;
  virtual void SaveBackupProfiles() = 0;
  // The profile names in the manager's order.
  [[nodiscard]] virtual QStringList ProfileNames() const = 0;
  [[nodiscard]] virtual bool IsBackupActive() const = 0;
  // Each clears the queue first.
  virtual void QueueAllEnabled() = 0;
  virtual void QueueProfile(const QString& AProfileName) = 0;
  // Runs the queue; true when no profile failed or was cancelled.
  [[nodiscard]] virtual bool Backup() = 0;
  virtual void CancelBackup() = 0;
  // Ends the run without asking (the session ends): no further profile starts.
  virtual void StopBackup() = 0;
  // The overdue check; its count arrives as the alert balloon.
  virtual void CheckBackupAlerts() = 0;
};
