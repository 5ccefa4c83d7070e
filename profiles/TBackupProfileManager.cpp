// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfileManager.h"

#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"

#include <cmath>

namespace {

// Milliseconds between two date-times, rounded to the millisecond so that 25 hours stay 25 hours.
qint64 MSecsBetween(TDateTime ANow, TDateTime AThen)
{
  return std::llround(std::fabs(ANow - AThen) * MSecsPerDay);
}

constexpr qint64 MSecsPerHour = 3600000;

} // namespace

TBackupProfileManager::TBackupProfileManager(QObject* AOwner)
  : QObject(AOwner)
  , FBackupProfileQueue(std::make_unique<TBackupProfileQueue>())
  , FBackupProfiles(std::make_unique<TBackupProfiles>())
  , FSMTPSettings(std::make_unique<TBackupProfileSMTPSettings>())
{}

TBackupProfileManager::~TBackupProfileManager() = default;

void TBackupProfileManager::Log(const QString& AMessage)
{
  if (OnLog)
    OnLog(this, AMessage);
}

void TBackupProfileManager::Debug(const QString& AProcedure, const QString& AMessage)
{
  if (OnDebug)
    OnDebug(this, AProcedure, AMessage);
}

void TBackupProfileManager::SetUpProfile(TBackupProfile* AProfile) const
{
  AProfile->OnLog = OnLog;
  AProfile->OnDebug = OnDebug;
  AProfile->SetStorageType(FStorageType);
  AProfile->SetRegistryKey(FRegistryKey);
  AProfile->SetRootKey(FRootKey);
}

TBackupProfile* TBackupProfileManager::NewProfile(const QString& AProfileName)
{
  QString name = AProfileName;
  for (int n = 1; FBackupProfiles->GetProfileIndex(name) >= 0; ++n)
    name = AProfileName + QLatin1Char(' ') + QString::number(n);
  TBackupProfile* profile = FBackupProfiles->Add(name);
  SetUpProfile(profile);
  profile->LoadDefaults();
  profile->SetProfileName(name);
  return profile;
}

bool TBackupProfileManager::DeleteProfile(const QString& AProfileName)
{
  const int index = FBackupProfiles->GetProfileIndex(AProfileName);
  if (index < 0)
    return false;
  const bool result = FBackupProfiles->GetItem(index)->DeleteProfile();
  FBackupProfiles->Delete(index);
  return result;
}

bool TBackupProfileManager::LoadProfiles()
{
  FBackupProfiles->Clear();
  QStringList damaged;
  if (FStorageType == stRegistry)
    LoadProfilesRegistry(damaged);
  if (!damaged.isEmpty() && OnProfileLoadErrors)
    OnProfileLoadErrors(this, damaged);
  return damaged.isEmpty();
}

void TBackupProfileManager::LoadProfilesRegistry(QStringList& ADamaged)
{
  Debug(QStringLiteral("LoadProfilesRegistry"), FRegistryKey);
  QString key = FRegistryKey;
  if (!key.endsWith(QLatin1Char('\\')))
    key.append(QLatin1Char('\\'));
  TRegistry reg(FRootKey);
  if (!reg.OpenKey(key, false))
    return;
  const QStringList names = reg.GetKeyNames();
  for (const QString& name : names) {
    if (name.toUpper() == QStringLiteral(".DEFAULT")) {
      Debug(QStringLiteral("LoadProfilesRegistry"), QStringLiteral("Ignoring .DEFAULT profile."));
      continue;
    }
    Debug(QStringLiteral("LoadProfilesRegistry"), QStringLiteral("Loading profile: ") + name);
    TBackupProfile* profile = FBackupProfiles->Add(name);
    SetUpProfile(profile);
    // A profile that fails to load stays with the fields it had. One whose stored values cannot
    // be read stays too, marked so that it is not saved over them, and the rest still load.
    try {
      (void)profile->LoadProfile(name);
    } catch (const ERegistryException& e) {
      Log(QStringLiteral("Failed to load profile: ") + name + QStringLiteral(", Error: ") + e.Message());
      ADamaged.append(name);
    }
  }
}

bool TBackupProfileManager::SaveProfiles()
{
  bool result = true;
  for (int i = 0; i < FBackupProfiles->Count(); ++i) {
    TBackupProfile* profile = FBackupProfiles->GetItem(i);
    profile->SetStorageType(FStorageType);
    profile->SetRegistryKey(FRegistryKey);
    profile->SetRootKey(FRootKey);
    bool saved = false;
    try {
      saved = profile->SaveProfile();
    } catch (const ERegistryException& e) {
      // One profile the store refuses must not keep the others from being saved.
      Log(e.Message());
    }
    if (!saved) {
      Log(QStringLiteral("Failed to save profile: ") + profile->ProfileName());
      result = false;
    }
  }
  return result;
}

bool TBackupProfileManager::SaveProfilesInStorage(TBackupProfileStorageType AStorageType)
{
  bool result = true;
  if (AStorageType != FStorageType)
    result = SaveProfiles();
  FStorageType = AStorageType;
  return SaveProfiles() && result;
}

void TBackupProfileManager::ClearQueue()
{
  FBackupProfileQueue->Clear();
}

void TBackupProfileManager::QueueAdd(const QString& AProfileName)
{
  FBackupProfileQueue->Add(AProfileName);
}

void TBackupProfileManager::QueueAllEnabled()
{
  ClearQueue();
  for (int i = 0; i < FBackupProfiles->Count(); ++i) {
    const TBackupProfile* profile = FBackupProfiles->GetItem(i);
    Debug(QStringLiteral("QueueAllEnabled"), QStringLiteral("Checking profile: ") + profile->ProfileName());
    if (profile->Enabled())
      FBackupProfileQueue->Add(profile->ProfileName());
  }
}

void TBackupProfileManager::QueueOverdue()
{
  ClearQueue();
  const TDateTime now = TClock::Now();
  for (int i = 0; i < FBackupProfiles->Count(); ++i) {
    const TBackupProfile* profile = FBackupProfiles->GetItem(i);
    Debug(QStringLiteral("QueueAllEnabled"), QStringLiteral("Checking profile: ") + profile->ProfileName());
    // Whole 24-hour periods since the moment of the last backup; Enabled plays no part here.
    const qint64 days = MSecsBetween(now, profile->LastBackup()) / static_cast<qint64>(MSecsPerDay);
    if (profile->ShowAlerts() && days >= profile->AlertDays())
      FBackupProfileQueue->Add(profile->ProfileName());
  }
}

void TBackupProfileManager::QueueAll()
{
  ClearQueue();
  for (int i = 0; i < FBackupProfiles->Count(); ++i)
    FBackupProfileQueue->Add(FBackupProfiles->GetItem(i)->ProfileName());
}

void TBackupProfileManager::CheckBackupAlerts()
{
  int count = 0;
  for (int i = 0; i < FBackupProfiles->Count(); ++i) {
    TBackupProfile* profile = FBackupProfiles->GetItem(i);
    if (!profile->IsBackupOverdue())
      continue;
    ++count;
    // Alert e-mails of one profile go out at least 25 hours apart.
    const TDateTime now = TClock::Now();
    if (profile->AlertEmailEnabled() && MSecsBetween(now, profile->AlertEmailLastRun()) / MSecsPerHour > 24 &&
        SendBackupAlertEmail(profile)) {
      profile->SetAlertEmailLastRun(now);
      if (!profile->SaveProfile())
        Log(QStringLiteral("Failed to save profile: ") + profile->ProfileName());
    }
  }
  if (count > 0 && OnBackupAlerts)
    OnBackupAlerts(this, count);
}

bool TBackupProfileManager::SendBackupAlertEmail(TBackupProfile* AProfile)
{
  // The alert e-mail is not available yet: nothing is sent.
  Q_UNUSED(AProfile);
  return false;
}
