// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/ManagerSetup.h"

#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"

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
  AManager.SMTPSettings() = TApplicationOptions::SmtpServer(ASettings);
}
