// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/ManagerSetup.h"

#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"

TBackupProfileStorageType StoredStorageType(const TProgramSettings& ASettings)
{
  const QString name = QStringLiteral("StorageType");
  return ASettings.KeyExists(name) && ASettings.GetValueByName(name).toInt() == stINI ? stINI : stRegistry;
}

void ConfigureUserManager(TBackupProfileManager& AManager)
{
  AManager.SetRootKey(HKEY_CURRENT_USER);
  AManager.SetRegistryKey(TApplicationOptions::RegistryKey);
  AManager.SetRootFolder(GetApplicationFolder() + QStringLiteral("Profiles/"));
  AManager.SetLogFolder(GetApplicationDataFolder() + QStringLiteral("Logs/"));
  AManager.SetDLLFolder(GetApplicationFolder());
}

void ApplyOptionsToManager(TBackupProfileManager& AManager, const TProgramSettings& ASettings)
{
  AManager.SetDebugBackup(ASettings.GetValueByName(QStringLiteral("Debug")).toBool());
  TBackupProfileSMTPSettings& smtp = AManager.SMTPSettings();
  smtp.SetSMTPHostname(ASettings.GetValueByName(QStringLiteral("SMTPHost")).toString());
  smtp.SetSMTPPort(ASettings.GetValueByName(QStringLiteral("SMTPPort")).toInt());
  smtp.SetSMTPAuthentication(ASettings.GetValueByName(QStringLiteral("SMTPAuthentication")).toBool());
  smtp.SetSMTPSecure(ASettings.GetValueByName(QStringLiteral("SMTPSecure")).toBool());
  smtp.SetUsername(ASettings.GetValueByName(QStringLiteral("SMTPUsername")).toString());
  smtp.SetPassword(ASettings.GetValueByName(QStringLiteral("SMTPPassword")).toString());
}
