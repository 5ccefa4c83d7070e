// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TArchiveGenerations.h"

#include "platform/FileNames.h"

#include <QRegularExpression>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

namespace {

const QString StampFormat = QStringLiteral("yyyy-MM-dd_HHmmss");

bool StatPath(const QString& APath, struct stat& AStat)
{
  return ::stat(EncodeFileName(APath).constData(), &AStat) == 0 && S_ISREG(AStat.st_mode);
}

} // namespace

TArchiveGenerations::TArchiveGenerations(const QString& AArchive, bool AVolumes)
  : FArchive(AArchive)
  , FVolumes(AVolumes)
{
  const qsizetype slash = AArchive.lastIndexOf(QLatin1Char('/'));
  FFolder = AArchive.left(slash + 1);
  const QString name = AArchive.mid(slash + 1);
  // A leading dot is part of the name, not an extension.
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  FBase = dot > 0 ? name.left(dot) : name;
  FExt = dot > 0 ? name.mid(dot) : QString();
  FKeptPattern.setPattern(QStringLiteral("^%1\\.(\\d{4}-\\d{2}-\\d{2}_\\d{6})(?:-(\\d{1,6}))?%2%3$")
                              .arg(QRegularExpression::escape(FBase), QRegularExpression::escape(FExt),
                                   FVolumes ? QStringLiteral("\\.001") : QString()));
}

QString TArchiveGenerations::VolumeName(const QString& AArchive, int ANumber)
{
  return AArchive + QLatin1Char('.') + QString::number(ANumber).rightJustified(3, QLatin1Char('0'));
}

QStringList TArchiveGenerations::FilesOf(const QString& AArchive) const
{
  QStringList files;
  struct stat st = {};
  if (!FVolumes) {
    if (StatPath(AArchive, st))
      files << AArchive;
    return files;
  }
  for (int number = 1;; ++number) {
    const QString volume = VolumeName(AArchive, number);
    if (!StatPath(volume, st))
      break;
    files << volume;
  }
  return files;
}

TArchiveGeneration TArchiveGenerations::Describe(const QString& AArchive) const
{
  TArchiveGeneration generation;
  generation.Archive = AArchive;
  generation.Files = FilesOf(AArchive);
  for (qsizetype i = 0; i < generation.Files.size(); ++i) {
    struct stat st = {};
    if (!StatPath(generation.Files.at(i), st))
      continue;
    if (i == 0)
      generation.Time = QDateTime::fromSecsSinceEpoch(st.st_mtime);
    generation.Size += st.st_size;
  }
  return generation;
}

TArchiveGeneration TArchiveGenerations::Newest() const
{
  return Describe(FArchive);
}

bool TArchiveGenerations::MatchKept(const QString& AName, QString& AStamp, int& ACollision) const
{
  // Most names in the folder are told apart without the expression.
  if (!AName.startsWith(FBase) || AName.size() <= FBase.size() || AName.at(FBase.size()) != QLatin1Char('.'))
    return false;
  const QRegularExpressionMatch match = FKeptPattern.match(AName);
  if (!match.hasMatch())
    return false;
  AStamp = match.captured(1);
  ACollision = match.hasCaptured(2) ? match.captured(2).toInt() : 1;
  return true;
}

QList<TArchiveGeneration> TArchiveGenerations::Kept() const
{
  struct TFound
  {
    QString Stamp;
    int Collision;
    QString Archive;
  };
  std::vector<TFound> found;
  const QByteArray folder = FFolder.isEmpty() ? QByteArrayLiteral(".") : EncodeFileName(FFolder);
  if (DIR* dir = ::opendir(folder.constData())) {
    while (const dirent* entry = ::readdir(dir)) {
      const QString name = DecodeFileName(QByteArray(entry->d_name));
      QString stamp;
      int collision = 0;
      if (!MatchKept(name, stamp, collision))
        continue;
      const QString first = FFolder + name;
      found.push_back({stamp, collision, FVolumes ? first.chopped(4) : first});
    }
    ::closedir(dir);
  }
  // The stamp sorts as text; of two in one second the later has the higher number.
  std::sort(found.begin(), found.end(), [](const TFound& A, const TFound& B) {
    return A.Stamp != B.Stamp ? A.Stamp > B.Stamp : A.Collision > B.Collision;
  });
  QList<TArchiveGeneration> result;
  for (const TFound& item : found)
    result << Describe(item.Archive);
  return result;
}

QList<TArchiveGeneration> TArchiveGenerations::List() const
{
  return QList<TArchiveGeneration>{Newest()} + Kept();
}

QString TArchiveGenerations::KeptName(const QDateTime& ATime, qsizetype AFileCount) const
{
  const QString stamp = ATime.toString(StampFormat);
  for (int collision = 1;; ++collision) {
    const QString archive = FFolder + FBase + QLatin1Char('.') + stamp +
                            (collision == 1 ? QString() : QStringLiteral("-%1").arg(collision)) + FExt;
    // A set's name is free only when none of its volumes is there.
    struct stat st = {};
    bool taken = ::lstat(EncodeFileName(FVolumes ? VolumeName(archive, 1) : archive).constData(), &st) == 0;
    for (int number = 2; FVolumes && !taken && number <= AFileCount; ++number)
      taken = ::lstat(EncodeFileName(VolumeName(archive, number)).constData(), &st) == 0;
    if (!taken)
      return archive;
  }
}

bool TArchiveGenerations::IsKeptFile(const QString& AFileName) const
{
  const qsizetype slash = AFileName.lastIndexOf(QLatin1Char('/'));
  QString name = AFileName.mid(slash + 1);
  // Any volume of a kept set, not only the first.
  static const QRegularExpression VolumeSuffix(QStringLiteral("\\.\\d{3,}$"));
  if (FVolumes) {
    const QRegularExpressionMatch match = VolumeSuffix.match(name);
    if (!match.hasMatch())
      return false;
    name = name.left(match.capturedStart()) + QStringLiteral(".001");
  }
  QString stamp;
  int collision = 0;
  if (!MatchKept(name, stamp, collision))
    return false;
  // Names match; the folders must be one, however they are spelt.
  struct stat listed = {};
  struct stat ours = {};
  const QString listedFolder = AFileName.left(slash + 1);
  return ::stat(EncodeFileName(listedFolder.isEmpty() ? QStringLiteral(".") : listedFolder).constData(), &listed) ==
             0 &&
         ::stat(EncodeFileName(FFolder.isEmpty() ? QStringLiteral(".") : FFolder).constData(), &ours) == 0 &&
         listed.st_dev == ours.st_dev && listed.st_ino == ours.st_ino;
}
