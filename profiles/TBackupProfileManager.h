// SPDX-License-Identifier: GPL-3.0-or-later
// The object the main window talks to about backups: it holds every profile, the queue of the
// next run and the program-wide SMTP server, loads and saves the profiles, fills the queue and
// looks for overdue profiles.
#pragma once

#include "platform/TRegistry.h"
#include "profiles/TBackupProfile.h"
#include "profiles/TBackupProfileQueue.h"
#include "profiles/TBackupProfiles.h"
#include "sysinfo/TProcessTimer.h"
#include "types/SharedTypes.h"
#include "types/TSmtpServer.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class TBackup;
class TLog;
class TPlugins;

// How many profiles are overdue.
using TOnBackupAlerts = std::function<void(QObject* ASender, int ACount)>;
// The profiles whose stored values could not be read by the last load; they are kept in the
// collection but not saved over what is stored (TBackupProfile::LoadError).
using TOnProfileLoadErrors = std::function<void(QObject* ASender, const QStringList& AProfileNames)>;
// Set ACancel to false to go on with the backup.
using TOnCancelConfirm = std::function<void(QObject* ASender, bool& ACancel)>;
// Asked after a cancelled profile when others follow; ACancelAll enters true, false goes on.
using TOnCancelQueueRequest = std::function<void(QObject* ASender, bool& ACancelAll)>;
// Leave AContinue true once the profile's programs are closed (or may stay open).
using TOnCloseActiveApplications = std::function<void(QObject* ASender, const QStringList& AActiveApplications,
                                                      bool ACloseGracefully, bool& AContinue)>;
// A profile's run starts or has ended; the profile may be missing (nullptr).
using TOnStartBackup = std::function<void(QObject* ASender, TBackupProfile* ABackupProfile)>;
using TOnFinishBackup = std::function<void(QObject* ASender, TBackupProfile* ABackupProfile)>;

class TBackupProfileManager : public QObject
{
  Q_OBJECT

public:
  explicit TBackupProfileManager(QObject* AOwner = nullptr);
  ~TBackupProfileManager() override;

  TOnLog OnLog;
  TOnDebug OnDebug;
  TOnBackupAlerts OnBackupAlerts;
  TOnProfileLoadErrors OnProfileLoadErrors;
  TOnProgress OnBackupProgress;  // the engine's item progress
  TOnProgress OnProfileProgress; // the current profile
  TOnProgress OnTotalProgress;   // the whole queue
  TOnRemainingTime OnRemainingTime;
  TOnCancelConfirm OnCancelConfirm;
  TOnCancelQueueRequest OnCancelQueueRequest;
  TOnCloseActiveApplications OnCloseActiveApplications;
  TOnStartBackup OnStartBackup;
  TOnFinishBackup OnFinishBackup;
  TNotifyEvent OnNTBackupStart;
  TNotifyEvent OnNTBackupFinished;
  TNotifyEvent OnPluginsStart;
  TNotifyEvent OnPluginsFileListStart;
  TNotifyEvent OnPluginsFileListFinished;
  TNotifyEvent OnPluginsFinished;

  // Copies the engine's debug lines into the run log.
  bool DebugBackup() const { return FDebugBackup; }
  void SetDebugBackup(bool AValue) { FDebugBackup = AValue; }
  // Whether each written archive is read back whole before it replaces the previous one.
  bool VerifyArchives() const { return FVerifyArchives; }
  void SetVerifyArchives(bool AValue) { FVerifyArchives = AValue; }
  // Folder of the plug-ins, with a trailing separator.
  const QString& PluginFolder() const { return FPluginFolder; }
  void SetPluginFolder(const QString& AValue) { FPluginFolder = AValue; }

  // Where the profiles are stored; copied into every profile the manager loads or makes.
  THKey RootKey() const { return FRootKey; }
  void SetRootKey(THKey AValue) { FRootKey = AValue; }
  const QString& RegistryKey() const { return FRegistryKey; }
  void SetRegistryKey(const QString& AValue) { FRegistryKey = AValue; }
  // The "Profiles" folder beside the program, the place of file-based storage.
  const QString& RootFolder() const { return FRootFolder; }
  void SetRootFolder(const QString& AValue) { FRootFolder = AValue; }
  // Folder of the run logs, with a trailing separator.
  const QString& LogFolder() const { return FLogFolder; }
  void SetLogFolder(const QString& AValue) { FLogFolder = AValue; }
  // Folder of the compression libraries.
  const QString& DLLFolder() const { return FDLLFolder; }
  void SetDLLFolder(const QString& AValue) { FDLLFolder = AValue; }

  // The program-wide SMTP server, filled from the program settings.
  TSmtpServer& SMTPSettings() { return FSMTPSettings; }
  const TBackupProfileQueue& Queue() const { return *FBackupProfileQueue; }
  // Safe from any thread: the run may be on a thread of its own.
  bool IsBackupActive() const { return FBackupActive.load(); }

  int ProfileCount() const { return FBackupProfiles->Count(); }
  TBackupProfile* GetProfileByIndex(int AIndex) const { return FBackupProfiles->GetItem(AIndex); }
  TBackupProfile* ProfileByName(const QString& AProfileName) const
  {
    return FBackupProfiles->ProfileByName(AProfileName);
  }

  // A profile with the defaults, named AProfileName or, when taken, AProfileName + " 1", " 2" ...
  // It is in the collection but not saved.
  TBackupProfile* NewProfile(const QString& AProfileName);
  // Deletes the stored profile and removes it from the collection; false when there is no such
  // profile or its stored copy could not be deleted.
  [[nodiscard]] bool DeleteProfile(const QString& AProfileName);
  // Takes a profile out of the collection and frees it, leaving the storage alone (a new profile
  // the user did not keep, whose name may match a stored one in another letter case).
  void RemoveProfile(const TBackupProfile* AProfile);

  // Rebuilds the collection from the storage. A profile whose stored values cannot be read is
  // reported (OnLog, OnProfileLoadErrors) and the others still load; false when there was one.
  bool LoadProfiles();
  // Saves every profile; true when every one was saved. AUnsaved, when
  // given, receives the names of the profiles that failed, except the damaged ones, which are
  // never saved on purpose (what is stored for them stays).
  [[nodiscard]] bool SaveProfiles(QStringList* AUnsaved = nullptr);

  // Each empties the queue, then fills it: enabled profiles, overdue ones (whole days since the
  // last backup, whether enabled or not), or all, in collection order. They raise
  // EBackupProfileManagerException when two profiles carry the same name.
  void QueueAllEnabled();
  void QueueOverdue();
  void QueueAll();
  // Raises EBackupProfileManagerException when the name is queued already.
  void QueueAdd(const QString& AProfileName);
  void ClearQueue();

  // Runs every queued profile in order; true when none failed or was cancelled by the engine.
  // Must not be called while a run is active. It may run on a thread of its own; its events are
  // then raised on that thread.
  bool Backup();
  // Asks (OnCancelConfirm, on the calling thread) and then stops the running profile at the
  // engine's next report. Safe from any thread: it only leaves a request the run picks up.
  void CancelBackup();
  // Ends the run without asking (the end of the session, a termination request): the running
  // profile is cancelled at the engine's next report and no further profile starts. Safe from
  // any thread.
  void StopBackup();
  // Elapsed and estimated time of the run.
  TProcessTimer& ProcessTimer() { return *FProcessTimer; }
  // The engine and the run log, for callers that need to look at them (tests, the command line).
  TBackup& BackupEngine() { return *FBackup; }
  TLog& RunLog() { return *FLog; }

  // Counts the overdue profiles, sends their alert e-mails where due and reports the count
  // through OnBackupAlerts when it is above 0.
  void CheckBackupAlerts();

protected:
  // Sends a profile's alert e-mail; true when it went out.
  virtual bool SendBackupAlertEmail(TBackupProfile* AProfile);
  // Sends a profile's run log by e-mail after its run; true when it went out.
  virtual bool SendBackupLogEmail(TBackupProfile* AProfile);
  // Runs one profile; raises EBackupProfileManagerException when it cannot be run.
  TBackupResult ExecuteBackup(const QString& AProfileName, QStringList& AZipFileList);

private:
  void LoadProfilesRegistry(QStringList& ADamaged);
  void ConnectEngine();
  void ConfigureEngine(const TBackupProfile& AProfile);
  void NotifyPluginsEnd(TBackupResult AResult, const QStringList& AZipFileList);
  void EngineItemProgress(const QString& AMessage, int AProgress);
  void EngineProfileProgress(const QString& AMessage, int AProgress);
  void EngineFileList(QStringList& AFileList);
  // Passes a cancel or stop request on to the engine, on the run's own thread.
  void TakeCancelRequest();
  void PluginException(const std::exception& AError);
  // Gives a profile the manager's callbacks and storage.
  void SetUpProfile(TBackupProfile* AProfile) const;
  void Log(const QString& AMessage);
  void Debug(const QString& AProcedure, const QString& AMessage);

  THKey FRootKey = HKEY_CURRENT_USER;
  QString FRegistryKey;
  QString FRootFolder;
  QString FLogFolder;
  QString FDLLFolder;
  QString FPluginFolder;
  bool FDebugBackup = false;
  bool FVerifyArchives = true;
  // Written by whichever thread asks, read by the run at each report of the engine.
  std::atomic<bool> FBackupActive = false;
  std::atomic<bool> FStopRequested = false;
  std::atomic<bool> FCancelRequested = false;
  std::unique_ptr<TBackup> FBackup;
  std::unique_ptr<TLog> FLog;
  std::unique_ptr<TBackupProfileQueue> FBackupProfileQueue;
  std::unique_ptr<TBackupProfiles> FBackupProfiles;
  std::unique_ptr<TProcessTimer> FProcessTimer;
  TSmtpServer FSMTPSettings;
  std::unique_ptr<TPlugins> FPlugins;
};
