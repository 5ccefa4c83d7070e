// SPDX-License-Identifier: GPL-3.0-or-later
// The include or exclusion entries of a backup, and their expansion into a list of files.
#pragma once

#include "engine/BackupTypes.h"
#include "engine/TBackupFile.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

class TBackupFiles : public QObject
{
  Q_OBJECT

public:
  explicit TBackupFiles(QObject* AOwner = nullptr);
  ~TBackupFiles() override;

  // Appends an entry and returns it; the collection owns it.
  TBackupFile* Add(const QString& AFolder, const QString& AFileMask, bool ARecursive);
  TBackupFile* Add();
  TBackupFile* GetItem(int AIndex) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  void Clear();

  // The first entry whose folder equals AName, the letters a to z compared without regard to case.
  int IndexByName(const QString& AName) const;
  TBackupFile* ItemByName(const QString& AName) const;

  // Clears AFileList and fills it with the files of every entry, in entry order. A cancel
  // request raised through OnProgress takes effect before the next entry. A folder or entry that
  // cannot be read is logged with the system's error and makes SearchFailed true; a missing
  // entry folder is logged and contributes nothing.
  void GenerateFileList(QStringList& AFileList);
  bool SearchFailed() const { return FSearchFailed; }

  bool Cancelled() const { return FCancelled; }
  void SetCancelled(bool AValue) { FCancelled = AValue; }

  TOnBackupLog OnLog;
  TOnSearchProgress OnProgress;
  TOnDebug OnDebug;

private:
  void Debug(const QString& AProcedure, const QString& AMessage);

  std::vector<std::unique_ptr<TBackupFile>> FItems;
  bool FCancelled = false;
  bool FSearchFailed = false;
};
