// SPDX-License-Identifier: GPL-3.0-or-later
// The archives of one destination: the newest, under the name the profile gives, and the earlier
// ones kept beside it as "<base>.<yyyy-MM-dd_HHmmss><ext>" (the time of their own last write,
// "-2", "-3"... added when two share a second). A 7z volume set keeps its volume numbers after
// the extension: "<base>.<stamp>.7z.001", ".002"...
#pragma once

#include <QDateTime>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

struct TArchiveGeneration
{
  // As the archive readers take it: the file, or a volume set's name without ".001".
  QString Archive;
  // Every file, a set's volumes in order.
  QStringList Files;
  // The first file's last write, local time.
  QDateTime Time;
  // All files together.
  qint64 Size = 0;
};

class TArchiveGenerations
{
public:
  // AArchive as the profile names it; AVolumes when it is written as a 7z volume set.
  TArchiveGenerations(const QString& AArchive, bool AVolumes);

  // Generation 0, the newest (its Files empty when it does not exist), then the kept ones from the
  // most recent (1) to the oldest.
  QList<TArchiveGeneration> List() const;
  // The kept ones alone, most recent first.
  QList<TArchiveGeneration> Kept() const;
  // The archive under the profile's name; Files is empty when it does not exist.
  TArchiveGeneration Newest() const;
  // The name (as in TArchiveGeneration::Archive) under which an archive of AFileCount files (a
  // set's volumes) last written at ATime is kept: the first whose files do not exist yet.
  QString KeptName(const QDateTime& ATime, qsizetype AFileCount) const;
  // Whether AFileName is a file of a kept archive of this destination.
  bool IsKeptFile(const QString& AFileName) const;
  // The files of the archive AArchive: itself, or its volumes from .001 while they follow on.
  QStringList FilesOf(const QString& AArchive) const;
  // The name of a set's volume ANumber (from 1).
  static QString VolumeName(const QString& AArchive, int ANumber);

private:
  // Whether AName (a name in the folder) is the first (or only) file of a kept archive; its stamp
  // and collision number when it is.
  bool MatchKept(const QString& AName, QString& AStamp, int& ACollision) const;
  TArchiveGeneration Describe(const QString& AArchive) const;

  QString FArchive;
  bool FVolumes;
  QString FFolder; // with a trailing separator
  QString FBase;   // the archive's name up to its extension
  QString FExt;    // the extension with its dot, or empty
  // The name of a kept archive's first (or only) file: stamp, then collision number.
  QRegularExpression FKeptPattern;
};
