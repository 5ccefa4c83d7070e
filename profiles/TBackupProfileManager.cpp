// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfileManager.h"

#include "engine/TBackup.h"
#include "notify/TPlugins.h"
#include "profiles/EBackupProfileManagerException.h"
#include "profiles/ProfileEmail.h"
#include "settings/TLog.h"
#include "sysinfo/Common.h"
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

// Rounds to the nearest integer, an exact half to the even neighbour (62.5 -> 62, 63.5 -> 64).
int RoundHalfEven(double AValue)
{
  const double floor = std::floor(AValue);
  const double fraction = AValue - floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0))
    return int(floor) + 1;
  return int(floor);
}

// One name per line, each line ending in CR LF.
QString ListText(const QStringList& AList)
{
  QString text;
  for (const QString& line : AList)
    text += line + QStringLiteral("\r\n");
  return text;
}

// Runs ABody, then AFinally also when ABody raised; an error of AFinally replaces ABody's.
template <typename TBody, typename TFinally> void TryFinally(TBody ABody, TFinally AFinally)
{
  try {
    ABody();
  } catch (...) {
    AFinally();
    throw;
  }
  AFinally();
}

TZipCompression EngineCompression(TCompressionLevel ALevel)
{
  switch (ALevel) {
  case clNone:
    return zcNone;
  case clLow:
    return zcFast;
  case clNormal:
    return zcNormal;
  case clHigh:
    return zcHigh;
  default:
    return zcMaximum;
  }
}

} // namespace

TBackupProfileManager::TBackupProfileManager(QObject* AOwner)
  : QObject(AOwner)
  , FPluginFolder(GetApplicationFolder() + QStringLiteral("plugins/"))
  , FBackup(std::make_unique<TBackup>())
  , FLog(std::make_unique<TLog>())
  , FBackupProfileQueue(std::make_unique<TBackupProfileQueue>())
  , FBackupProfiles(std::make_unique<TBackupProfiles>())
  , FProcessTimer(std::make_unique<TProcessTimer>())
  , FPlugins(std::make_unique<TPlugins>())
{
  FPlugins->OnLog = [this](const QString& ALine) { Log(ALine); };
}

TBackupProfileManager::~TBackupProfileManager()
{
  // Members go in the order the engine, run log, queue, profiles, timer, SMTP, plug-ins.
  FBackup.reset();
  FLog.reset();
  FBackupProfileQueue.reset();
  FBackupProfiles.reset();
  FProcessTimer.reset();
  FPlugins.reset();
}

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

void TBackupProfileManager::RemoveProfile(const TBackupProfile* AProfile)
{
  for (int i = 0; i < FBackupProfiles->Count(); ++i)
    if (FBackupProfiles->GetItem(i) == AProfile) {
      FBackupProfiles->Delete(i);
      return;
    }
}

bool TBackupProfileManager::LoadProfiles()
{
  FBackupProfiles->Clear();
  QStringList damaged;
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

bool TBackupProfileManager::SaveProfiles(QStringList* AUnsaved)
{
  bool result = true;
  for (int i = 0; i < FBackupProfiles->Count(); ++i) {
    TBackupProfile* profile = FBackupProfiles->GetItem(i);
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
      if (AUnsaved && !profile->IsDamaged() && !AUnsaved->contains(profile->ProfileName()))
        AUnsaved->append(profile->ProfileName());
    }
  }
  return result;
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
  return SendProfileEmail(*AProfile, pekAlert, FSMTPSettings, [this](const QString& AError) { Log(AError); });
}

bool TBackupProfileManager::SendBackupLogEmail(TBackupProfile* AProfile)
{
  return SendProfileEmail(*AProfile, pekLog, FSMTPSettings, [this](const QString& AError) { Log(AError); });
}

bool TBackupProfileManager::Backup()
{
  bool result = true;
  FBackupActive = true;
  FStopRequested = false;
  QStringList zipFileList;
  struct TRunEnd
  {
    TBackupProfileManager* Self;
    ~TRunEnd()
    {
      Self->FProcessTimer->Stop();
      Self->FBackupActive = false;
    }
  } runEnd{this};

  Log(QStringLiteral("Starting Backup..."));
  FProcessTimer->Start(std::uint32_t(FBackupProfileQueue->Count()) * 100);
  for (int i = 0; i < FBackupProfileQueue->Count(); ++i) {
    if (FStopRequested)
      break;
    TBackupProfileQueueItem* entry = FBackupProfileQueue->GetItem(i);
    const QString name = entry->ProfileName();
    zipFileList.clear();
    TBackupProfile* profile = FBackupProfiles->ProfileByName(name);
    bool doContinue = true;
    if (profile && OnCloseActiveApplications)
      OnCloseActiveApplications(this, profile->ActivePrograms(), profile->CloseGracefully(), doContinue);
    if (!doContinue || FStopRequested) {
      Log(QStringLiteral("Backup Cancelled: ") + name);
      entry->SetQueueStatus(qsCancelled);
      result = result && !FStopRequested;
      continue;
    }
    Log(QStringLiteral("Starting Backup: ") + name);
    // A cancel is for the profile that was running when it was asked.
    FCancelRequested = false;
    if (OnStartBackup)
      OnStartBackup(this, profile);
    entry->SetQueueStatus(qsInProgress);
    TBackupResult outcome = brFailed;
    QString error;
    try {
      outcome = ExecuteBackup(name, zipFileList);
    } catch (const EBackupProfileManagerException& e) {
      error = e.Message();
    } catch (const std::exception& e) {
      error = QString::fromStdString(e.what());
    }
    if (OnFinishBackup)
      OnFinishBackup(this, FBackupProfiles->ProfileByName(name));
    if (!error.isNull()) {
      Log(QStringLiteral("Backup Failed: ") + name + QStringLiteral(", Error: ") + error);
      entry->SetQueueStatus(qsFailed);
      result = false;
      continue;
    }
    if (outcome == brComplete) {
      Log(QStringLiteral("Backup Complete: ") + name + QStringLiteral(", Zip Files: ") + ListText(zipFileList));
      entry->SetQueueStatus(qsComplete);
    } else if (outcome == brFailed) {
      Log(QStringLiteral("Backup Failed: ") + name);
      entry->SetQueueStatus(qsFailed);
      result = false;
    } else {
      Log(QStringLiteral("Backup Cancelled: ") + name);
      entry->SetQueueStatus(qsCancelled);
      result = false;
      bool cancelAll = true;
      if (!FStopRequested && i < FBackupProfileQueue->Count() - 1 && OnCancelQueueRequest)
        OnCancelQueueRequest(this, cancelAll);
      if (cancelAll)
        break;
    }
  }
  Log(QStringLiteral("Backup Complete."));
  return result;
}

TBackupResult TBackupProfileManager::ExecuteBackup(const QString& AProfileName, QStringList& AZipFileList)
{
  TBackupProfile* profile = FBackupProfiles->ProfileByName(AProfileName);
  if (!profile)
    throw EBackupProfileManagerException(QStringLiteral("Unable to load backup profile \"%1\"").arg(AProfileName));
  // A profile whose stored values could not be read holds only part of its entries; backing it
  // up would report success for an archive that misses files.
  if (profile->IsDamaged())
    throw EBackupProfileManagerException(QStringLiteral("Unable to load backup profile \"%1\"").arg(AProfileName) +
                                         QStringLiteral(": ") + profile->LoadError());

  TBackupResult result = brFailed;
  // A name may hold "/" or "..": it never makes a path of its own.
  profile->SetLogFile(FLogFolder + SafeFileName(AProfileName) + QStringLiteral(".log"));
  TryFinally(
      [&] {
        FLog->SetActive(false);
        FLog->SetFileName(profile->LogFile());
        FLog->SetActive(true);

        FPlugins->SetPluginFolder(FPluginFolder);
        FPlugins->SetProfileName(AProfileName);
        FPlugins->SetActive(true);
        if (OnPluginsStart)
          OnPluginsStart(this);
        try {
          FPlugins->NotifyBackupStart();
        } catch (const std::exception& e) {
          PluginException(e);
        }

        ConnectEngine();
        ConfigureEngine(*profile);
        result = FBackup->Backup(&AZipFileList);
        // Said where the user sees it (the tray's log, the terminal), not only in the run log.
        if (FBackup->ArchiveWasBusy())
          Log(QStringLiteral("Backup already active."));
        Debug(QStringLiteral("ExecuteBackup"), QStringLiteral("ZipFileList: ") + ListText(AZipFileList));

        NotifyPluginsEnd(result, AZipFileList);
        FLog->SetActive(false);
        if (result == brComplete)
          profile->SetLastBackup(TClock::Now());
      },
      [&] {
        FLog->SetActive(false);
        if (!profile->SaveProfile())
          Log(QStringLiteral("Failed to save profile: ") + AProfileName);
        if (profile->LogEmailEnabled()) {
          Debug(QStringLiteral("ExecuteBackup"), SendBackupLogEmail(profile)
                                                     ? QStringLiteral("SendBackupLogEmail: Ok")
                                                     : QStringLiteral("SendBackupLogEmail: Failed"));
        }
      });
  return result;
}

void TBackupProfileManager::NotifyPluginsEnd(TBackupResult AResult, const QStringList& AZipFileList)
{
  TryFinally(
      [&] {
        try {
          FPlugins->NotifyBackupEnd(int(AResult), AZipFileList, FLog->FileName());
        } catch (const EPluginError& e) {
          PluginException(e);
        }
      },
      [&] {
        FPlugins->SetActive(false);
        if (OnPluginsFinished)
          OnPluginsFinished(this);
      });
}

void TBackupProfileManager::PluginException(const std::exception& AError)
{
  const auto* plugin = dynamic_cast<const EPluginError*>(&AError);
  Log(QStringLiteral("Plugin Exception: ") + (plugin ? plugin->Message() : QString::fromStdString(AError.what())));
}

void TBackupProfileManager::ConnectEngine()
{
  FBackup->OnLog = [this](QObject*, const QString& AMessage, int) {
    if (FLog->Active())
      FLog->Add(AMessage);
  };
  FBackup->OnDebug = [this](QObject*, const QString& AProcedure, const QString& AMessage) {
    if (FDebugBackup && FLog->Active())
      FLog->Add(QStringLiteral("Debug: (") + AProcedure + QStringLiteral(") ") + AMessage);
  };
  FBackup->OnItemProgress = [this](QObject*, const QString& AMessage, int AProgress) {
    EngineItemProgress(AMessage, AProgress);
  };
  FBackup->OnFileSearchProgress = FBackup->OnItemProgress;
  FBackup->OnTotalProgress = [this](QObject*, const QString& AMessage, int AProgress) {
    EngineProfileProgress(AMessage, AProgress);
  };
  FBackup->OnNTBackupStart = [this](QObject* ASender) {
    if (OnNTBackupStart)
      OnNTBackupStart(ASender);
  };
  FBackup->OnNTBackupFinished = [this](QObject* ASender) {
    if (OnNTBackupFinished)
      OnNTBackupFinished(ASender);
  };
  FBackup->OnBackupFileList = [this](QObject*, QStringList& AFileList) { EngineFileList(AFileList); };
  FBackup->OnBackupFileExclusionList = [](QObject*, QStringList&) {};
}

void TBackupProfileManager::ConfigureEngine(const TBackupProfile& AProfile)
{
  const QString procedure = QStringLiteral("ExecuteBackup");
  Debug(procedure, QStringLiteral("DllDirectory: ") + FDLLFolder);
  FBackup->SetDllDirectory(FDLLFolder);
  FBackup->SetZipType(AProfile.ZipType());
  FBackup->SetSystemState(AProfile.SystemState());
  Debug(procedure, QStringLiteral("ZipFileName: ") + AProfile.ZipFile());
  FBackup->SetZipFileName(AProfile.ZipFile());
  Debug(procedure, QStringLiteral("VolumeSize: ") + QString::number(AProfile.SpanningSize()));
  FBackup->SetVolumeSize(AProfile.SpanningSize());
  Debug(procedure, QStringLiteral("KeepArchives: ") + QString::number(AProfile.KeepArchives()));
  FBackup->SetKeepArchives(AProfile.KeepArchives());
  FBackup->SetZipCompression(EngineCompression(AProfile.CompressionLevel()));
  Debug(procedure, QStringLiteral("ZipCompression: ") + QString::number(int(FBackup->ZipCompression())));
  FBackup->SetZipDescription(AProfile.Description());
  Debug(procedure, QStringLiteral("ZipDescription: ") + AProfile.Description());
  FBackup->SetZipPassword(AProfile.Password());
  FBackup->SetVerifyArchive(FVerifyArchives);
  FBackup->Files()->Clear();
  for (int i = 0; i < AProfile.Files().Count(); ++i) {
    const TBackupProfileFile* entry = AProfile.Files().GetItem(i);
    FBackup->Files()->Add(entry->Folder(), entry->FileMask(), entry->Recursive());
  }
  FBackup->Exclusions()->Clear();
  for (int i = 0; i < AProfile.FileExclusions().Count(); ++i) {
    const TBackupProfileFile* entry = AProfile.FileExclusions().GetItem(i);
    FBackup->Exclusions()->Add(entry->Folder(), entry->FileMask(), entry->Recursive());
  }
}

void TBackupProfileManager::EngineItemProgress(const QString& AMessage, int AProgress)
{
  if (OnBackupProgress)
    OnBackupProgress(this, AMessage, AProgress);
  if (OnRemainingTime)
    OnRemainingTime(this, FProcessTimer->Total(), FProcessTimer->Current(), FProcessTimer->ElapsedTime(),
                    FProcessTimer->EstimatedTime());
  // After the handlers: a cancel asked from one of them is passed on in this report.
  TakeCancelRequest();
}

void TBackupProfileManager::TakeCancelRequest()
{
  // The engine clears its cancel flag when a profile starts: a stop that came between two
  // profiles is passed on at the new one's first report.
  if (FStopRequested || FCancelRequested.exchange(false))
    FBackup->Cancel();
}

void TBackupProfileManager::EngineProfileProgress(const QString& AMessage, int AProgress)
{
  if (OnProfileProgress)
    OnProfileProgress(this, AMessage, AProgress);
  const int finished = FBackupProfileQueue->FinishedCount();
  if (OnTotalProgress && FBackupProfileQueue->Count() > 0) {
    const double exact = double(finished * 100 + AProgress) / double(FBackupProfileQueue->Count() * 100) * 100.0;
    const int total = RoundHalfEven(exact);
    OnTotalProgress(this, QString::number(total) + QLatin1Char('%'), total);
  }
  if (FProcessTimer->Running())
    FProcessTimer->UpdateProgress(std::uint32_t(finished * 100 + AProgress));
  if (FPlugins->Active()) {
    try {
      FPlugins->NotifyBackupProgress(AProgress, AMessage);
    } catch (const std::exception& e) {
      PluginException(e);
    }
  }
  TakeCancelRequest();
}

void TBackupProfileManager::EngineFileList(QStringList& AFileList)
{
  if (!FPlugins->Active())
    return;
  if (OnPluginsFileListStart)
    OnPluginsFileListStart(this);
  TryFinally(
      [&] {
        Debug(QStringLiteral("InternalBackupOnFileList"), QStringLiteral("Sending file list to plugins..."));
        try {
          FPlugins->NotifyBackupFileList(AFileList);
        } catch (const std::exception& e) {
          PluginException(e);
        }
      },
      [&] {
        if (OnPluginsFileListFinished)
          OnPluginsFileListFinished(this);
      });
}

void TBackupProfileManager::CancelBackup()
{
  bool cancel = true;
  if (OnCancelConfirm)
    OnCancelConfirm(this, cancel);
  if (!cancel)
    return;
  Log(QStringLiteral("Backup Cancel Request..."));
  FCancelRequested = true;
}

void TBackupProfileManager::StopBackup()
{
  if (!FBackupActive || FStopRequested.exchange(true))
    return;
  Log(QStringLiteral("Backup Cancel Request..."));
}
