// SPDX-License-Identifier: GPL-3.0-or-later
// A plain-text log: one time-stamped line per message, repeats folded, recent lines kept in memory.
#pragma once

#include "platform/ECorvaleError.h"

#include <QFile>
#include <QObject>
#include <QStringList>

#include <stdexcept>

class ELogError : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};

class TLog : public QObject
{
  Q_OBJECT

public:
  explicit TLog(QObject* AOwner = nullptr);
  ~TLog() override;

  bool Active() const { return FActive; }
  // Opens (with the start banner) or closes (with the end banner) the log.
  void SetActive(bool AValue);

  bool AppendLog() const { return FAppendLog; }
  void SetAppendLog(bool AValue) { FAppendLog = AValue; }

  const QString& FileName() const { return FFileName; }
  // Closes the log, then takes the name when a file of that name exists or can be created.
  void SetFileName(const QString& AValue);

  int CacheSize() const { return FCacheSize; }
  void SetCacheSize(int AValue) { FCacheSize = AValue; }
  // The most recent lines, newest first.
  const QStringList& LogCache() const { return FLogCache; }

  void Add(const QString& AMessage);
  // Empties the file of an active log and keeps it open.
  void Clear();

  // The time stamp of a line: short date and long time, the time left out at exactly midnight.
  static QString TimeStamp();

private:
  void OpenFile(bool AAppend);
  void WriteLine(const QString& ALine);
  void Flush();
  [[noreturn]] void RaiseFileError(const QString& AAction) const;

  bool FActive = false;
  bool FAppendLog = false;
  QString FFileName;
  QFile FFile;
  QString FLastMessage;
  int FLastMessageCount = 0;
  QStringList FLogCache;
  int FCacheSize = 50;
};
