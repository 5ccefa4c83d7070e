// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/FindFiles.h"

#include "platform/FileSystem.h"

namespace {

bool SameLetter(QChar A, QChar B)
{
  return A == B || A.toCaseFolded() == B.toCaseFolded();
}

bool MatchFrom(const QString& AName, qsizetype ANamePos, const QString& AMask, qsizetype AMaskPos)
{
  // Iterative wildcard match with one backtracking point for the last "*".
  qsizetype starMask = -1;
  qsizetype starName = 0;
  while (ANamePos < AName.size()) {
    if (AMaskPos < AMask.size() && AMask.at(AMaskPos) == QLatin1Char('*')) {
      starMask = AMaskPos++;
      starName = ANamePos;
    } else if (AMaskPos < AMask.size() &&
               (AMask.at(AMaskPos) == QLatin1Char('?') || SameLetter(AMask.at(AMaskPos), AName.at(ANamePos)))) {
      ++AMaskPos;
      ++ANamePos;
    } else if (starMask >= 0) {
      AMaskPos = starMask + 1;
      ANamePos = ++starName;
    } else {
      return false;
    }
  }
  while (AMaskPos < AMask.size() && AMask.at(AMaskPos) == QLatin1Char('*'))
    ++AMaskPos;
  return AMaskPos == AMask.size();
}

// A folder is entered unless it is hidden or a link; its read-only flag does not count.
bool IsEnterableFolder(unsigned AAttributes)
{
  return (AAttributes & (faDirectory | faHidden | faReparsePoint)) == faDirectory;
}

} // namespace

bool MatchesMask(const QString& AName, const QString& AMask)
{
  if (AMask.isEmpty())
    return false;
  // The masks of nearly every entry match every name.
  if (AMask == QLatin1String("*.*") || AMask == QLatin1String("*"))
    return true;
  // As on Windows, a mask ending in ".*" also matches names without any dot ("*.*", "data.*").
  if (AMask.endsWith(QStringLiteral(".*")) && !AName.contains(QLatin1Char('.')))
    return MatchFrom(AName, 0, AMask.left(AMask.size() - 2), 0);
  // And a mask ending in a dot matches names without one ("*." finds names without an extension).
  if (AMask.endsWith(QLatin1Char('.')) && !AName.contains(QLatin1Char('.')))
    return MatchFrom(AName, 0, AMask.left(AMask.size() - 1), 0);
  return MatchFrom(AName, 0, AMask, 0);
}

namespace {

void Search(const QString& AFolder, const QString& AMask, bool ARecursive, const TFindFilesProgress& AProgress,
            QStringList& AFileList, const TFindFilesError& AOnError, bool& cancel)
{
  const QString folder = IncludeTrailingPathDelimiter(ExcludeTrailingPathDelimiter(AFolder));

  // One pass over the folder: its files are listed, its subfolders noted and searched after the
  // enumeration is closed, so that a deep tree does not hold one open directory handle per level.
  QStringList folders;
  EnumerateDirectory(
      folder,
      [&](const TDirectoryEntry& AEntry) {
        if (AEntry.Attributes & faDirectory) {
          if (ARecursive && IsEnterableFolder(AEntry.Attributes))
            folders.append(AEntry.Name);
          return true;
        }
        if (!MatchesMask(AEntry.Name, AMask))
          return true;
        const QString path = folder + AEntry.Name;
        AFileList.append(path);
        if (AProgress)
          AProgress(path, 0, cancel);
        return !cancel;
      },
      AOnError);

  if (!ARecursive || cancel)
    return;
  for (const QString& name : std::as_const(folders)) {
    const QString path = folder + name;
    if (AProgress)
      AProgress(path, 0, cancel);
    if (cancel)
      break;
    Search(path, AMask, ARecursive, AProgress, AFileList, AOnError, cancel);
    if (cancel)
      break;
  }
}

} // namespace

void FindFiles(const QString& AFolder, const QString& AMask, bool ARecursive, const TFindFilesProgress& AProgress,
               QStringList& AFileList, const TFindFilesError& AOnError)
{
  bool cancel = false;
  Search(AFolder, AMask, ARecursive, AProgress, AFileList, AOnError, cancel);
}
