// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TShellStore.h"

#include "app/TBackupRunner.h"
#include "app/TSettingsCycle.h"
#include "settings/TLog.h"
#include "sysinfo/Common.h"
#include "sysinfo/TClock.h"

#include <QFile>

TShellStore::TShellStore(TSettingsCycle& ASettings, TBackupRunner& ARunner, TLog& ALog)
  : FSettings(ASettings)
  , FRunner(ARunner)
  , FLog(ALog)
{}

void TShellStore::Open()
{
  FSettings.LoadApplicationSettings();
  StartLog();
  Log(QStringLiteral("Loading Backup Profile Manager..."));
  FRunner.LoadBackupProfiles();
}

void TShellStore::StartLog()
{
  const QString folder = GetApplicationDataFolder() + QStringLiteral("Logs/");
  if (!CheckDirectory(folder, true))
    throw ELogError(QStringLiteral("Failed to create log file folder \"%1\"").arg(folder));
  FLog.SetFileName(folder + TClock::CurrentDateTime().toString(QStringLiteral("ddMMyyHHmmss")) +
                   QStringLiteral(".log"));
  FLog.SetActive(true);
}

void TShellStore::Close()
{
  try {
    SaveApplicationSettings(false);
    Log(QStringLiteral("Saving Backup Profile Manager..."));
    FRunner.SaveBackupProfiles();
    Log(QStringLiteral("Stopping log..."));
    FLog.SetActive(false);
    if (!FLog.FileName().isEmpty() && QFile::exists(FLog.FileName()))
      QFile::remove(FLog.FileName());
  } catch (const std::exception& error) {
    Log(QString::fromUtf8(error.what()));
    if (!FLog.Active() && !FLog.FileName().isEmpty()) {
      FLog.SetAppendLog(true);
      FLog.SetActive(true);
    }
    throw;
  }
}

void TShellStore::SaveApplicationSettings(bool ASaveDefaults)
{
  FSettings.SaveSettings(ASaveDefaults);
  FSettings.LoadApplicationSettings();
}

bool TShellStore::ReloadIfPending(bool AOpened)
{
  if (!FReloadPending)
    return false;
  FReloadPending = false;
  if (!AOpened)
    return false;
  Log(QStringLiteral("Reloading settings and backup profiles..."));
  FSettings.LoadApplicationSettings();
  Log(QStringLiteral("Loading Backup Profile Manager..."));
  FRunner.LoadBackupProfiles();
  return true;
}

void TShellStore::Log(const QString& AMessage)
{
  if (FLog.Active())
    FLog.Add(AMessage);
}

void TShellStore::Debug(const QString& AProcedure, const QString& AMessage)
{
  if (FSettings.DebugEnabled())
    Log(QStringLiteral("Debug: (") + AProcedure + QStringLiteral("): ") + AMessage);
}
