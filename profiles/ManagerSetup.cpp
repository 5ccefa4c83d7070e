// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/ManagerSetup.h"

#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"

TBackupProfileStorageType StoredStorageType(const TProgramSettings& ASettings)
{
  return TApplicationOptions::Integer(ASettings, TOptionId::StorageType) == stINI ? stINI : stRegistry;
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
  AManager.SetDebugBackup(TApplicationOptions::Boolean(ASettings, TOptionId::Debug));
  AManager.SetVerifyArchives(TApplicationOptions::Boolean(ASettings, TOptionId::VerifyArchives));
  TBackupProfileSMTPSettings& smtp = AManager.SMTPSettings();
  smtp.SetSMTPHostname(TApplicationOptions::Text(ASettings, TOptionId::SMTPHost));
  smtp.SetSMTPPort(TApplicationOptions::Integer(ASettings, TOptionId::SMTPPort));
  smtp.SetSMTPAuthentication(TApplicationOptions::Boolean(ASettings, TOptionId::SMTPAuthentication));
  smtp.SetSMTPSecure(TApplicationOptions::Boolean(ASettings, TOptionId::SMTPSecure));
  smtp.SetUsername(TApplicationOptions::Text(ASettings, TOptionId::SMTPUsername));
  smtp.SetPassword(TApplicationOptions::Text(ASettings, TOptionId::SMTPPassword));
}
