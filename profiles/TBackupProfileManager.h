// SPDX-License-Identifier: GPL-3.0-or-later
// The object the main window talks to about backups: it holds every profile, the queue of the
// next run and the program-wide SMTP server, loads and saves the profiles, fills the queue and
// looks for overdue profiles.
#pragma once

#include "platform/TRegistry.h"
#include "profiles/TBackupProfile.h"
#include "profiles/TBackupProfileQueue.h"
#include "profiles/TBackupProfileSMTPSettings.h"
#include "profiles/TBackupProfiles.h"
#include "sysinfo/SharedTypes.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

// How many profiles are overdue.
using TOnBackupAlerts = std::function<void(QObject* ASender, int ACount)>;
// The profiles whose stored values could not be read by the last load; they are kept in the
// collection but not saved over what is stored (TBackupProfile::LoadError).
using TOnProfileLoadErrors = std::function<void(QObject* ASender, const QStringList& AProfileNames)>;

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

  // Where the profiles are stored; copied into every profile the manager loads or makes.
  TBackupProfileStorageType StorageType() const { return FStorageType; }
  void SetStorageType(TBackupProfileStorageType AValue) { FStorageType = AValue; }
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
  TBackupProfileSMTPSettings& SMTPSettings() { return *FSMTPSettings; }
  const TBackupProfileQueue& Queue() const { return *FBackupProfileQueue; }
  bool IsBackupActive() const { return FBackupActive; }

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

  // Rebuilds the collection from the storage. A profile whose stored values cannot be read is
  // reported (OnLog, OnProfileLoadErrors) and the others still load; false when there was one.
  bool LoadProfiles();
  // Saves every profile in the manager's storage; true when every one was saved.
  [[nodiscard]] bool SaveProfiles();
  // Saves every profile in the current storage when AStorageType differs from it, then switches
  // to AStorageType and saves them there, so that a change of storage leaves them in both.
  [[nodiscard]] bool SaveProfilesInStorage(TBackupProfileStorageType AStorageType);

  // Each empties the queue, then fills it: enabled profiles, overdue ones (whole days since the
  // last backup, whether enabled or not), or all, in collection order. They raise
  // EBackupProfileManagerException when two profiles carry the same name.
  void QueueAllEnabled();
  void QueueOverdue();
  void QueueAll();
  // Raises EBackupProfileManagerException when the name is queued already.
  void QueueAdd(const QString& AProfileName);
  void ClearQueue();

  // Counts the overdue profiles, sends their alert e-mails where due and reports the count
  // through OnBackupAlerts when it is above 0.
  void CheckBackupAlerts();

protected:
  // Sends a profile's alert e-mail; true when it went out.
  virtual bool SendBackupAlertEmail(TBackupProfile* AProfile);

private:
  void LoadProfilesRegistry(QStringList& ADamaged);
  // Gives a profile the manager's callbacks and storage.
  void SetUpProfile(TBackupProfile* AProfile) const;
  void Log(const QString& AMessage);
  void Debug(const QString& AProcedure, const QString& AMessage);

  TBackupProfileStorageType FStorageType = stRegistry;
  THKey FRootKey = HKEY_CURRENT_USER;
  QString FRegistryKey;
  QString FRootFolder;
  QString FLogFolder;
  QString FDLLFolder;
  bool FBackupActive = false;
  std::unique_ptr<TBackupProfileQueue> FBackupProfileQueue;
  std::unique_ptr<TBackupProfiles> FBackupProfiles;
  std::unique_ptr<TBackupProfileSMTPSettings> FSMTPSettings;
};
