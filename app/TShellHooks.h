// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window asks of the services that other components provide: the settings cycle,
// the profile manager and the dialogs that have windows of their own. Each is optional; an
// unbound entry does nothing (and answers false, empty or "no backup running").
#pragma once

#include "sysinfo/SharedTypes.h"

#include <QStringList>

#include <exception>
#include <functional>

struct TShellHooks
{
  // Settings: the load cycle (which also selects the last action through SetSelectedIndex), saving
  // (with the defaults when ASaveDefaults), the "Debug" and "Password" options and "LastSelectionID".
  std::function<void()> LoadApplicationSettings;
  std::function<void(bool ASaveDefaults)> SaveSettings;
  std::function<bool()> DebugEnabled;
  std::function<QString()> OptionsPassword;
  std::function<void(int AIndex)> StoreLastSelection;

  // Profile manager: configure, bind its events and load; save; names in the manager's order.
  std::function<void()> LoadBackupProfiles;
  std::function<void()> SaveBackupProfiles;
  std::function<QStringList()> ProfileNames;
  std::function<bool()> IsBackupActive;
  // Each clears the queue first.
  std::function<void()> QueueAllEnabled;
  std::function<void(const QString& AProfileName)> QueueProfile;
  // Runs the queue; true when no profile failed or was cancelled. Unbound: backups are unavailable
  // and the backup actions do nothing.
  std::function<bool()> Backup;
  std::function<void()> CancelBackup;
  // The overdue check of the alert timer, and the "Backup Alerts" action: queue the overdue
  // profiles and ask; true when the queue should run now.
  std::function<void()> CheckBackupAlerts;
  std::function<bool()> BackupAlerts;

  // Windows of their own.
  std::function<void(int AAutoCloseSeconds)> ShowFailedBackup;
  // True when the user chose Backup; the ticked profiles are queued and AExitParameter is set.
  std::function<bool(TExitParameter& AExitParameter)> CustomBackup;
  std::function<void(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport)> ShowAbout;
  // True while the options dialog is on screen.
  std::function<bool()> OptionsVisible;
  // The password dialog; true when the right password was given. When it is already on screen it
  // is brought to the front and the answer is false.
  std::function<bool(const QString& ACaption, const QString& APassword, int AAttempts)> CheckPassword;
  // The options dialog; true when it ended with Ok.
  std::function<bool()> ShowOptions;
  std::function<void(bool AEnabled)> SetAutoUpdateEnabled;
  // The exception window; unbound, an error box shows the message.
  std::function<void(const QString& AMessage)> ShowException;
};
