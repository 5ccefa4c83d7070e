// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/Common.h"

#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Shell.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Creates a folder and its missing parents; names are passed to the system as their bytes.
void MakePath(const QString& AFolder)
{
  const QByteArray path = EncodeFileName(ExcludeTrailingPathDelimiter(AFolder));
  for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
    const QByteArray part = slash < 0 ? path : path.left(slash);
    ::mkdir(part.constData(), 0700);
    if (slash < 0)
      break;
  }
}

} // namespace

QString GetApplicationFolder()
{
  return ExecutableFolder();
}

QString GetSpecialFolder(int AFolder)
{
  return ShellFolderPath(AFolder);
}

QString GetApplicationDataFolder()
{
  const QString folder = IncludeTrailingPathDelimiter(GetSpecialFolder(sfAppData)) + ApplicationTitle() + PathDelim;
  CheckDirectory(folder, true);
  return folder;
}

QString GetTempFolder()
{
  return TemporaryFolder();
}

QString RandomString(int ALength)
{
  static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  QString result;
  result.reserve(qMax(ALength, 0));
  auto* generator = QRandomGenerator::global();
  for (int i = 0; i < ALength; ++i)
    result += alphabet.at(generator->bounded(static_cast<int>(alphabet.size())));
  return result;
}

QString GenerateTempFileName(const QString& APrefix, const QString& AExtension)
{
  const QString base = GetTempFolder() + APrefix.left(3);
  for (quint64 attempt = 0; attempt < 4294967295ULL; ++attempt) {
    const QString name = base + RandomString(5) + AExtension;
    if (FileAttributes(name) == 0)
      return name;
  }
  throw ECommonError(QStringLiteral("Failed to generate temporary file."));
}

bool CheckDirectory(const QString& ADirectory, bool ACreate)
{
  if (ACreate && ADirectory.isEmpty())
    throw ECommonError(QStringLiteral("Cannot create an empty directory name."));
  if (ACreate && !DirectoryExists(ADirectory))
    MakePath(ADirectory);
  return DirectoryExists(ADirectory);
}

QString ChangeFileExt(const QString& AFileName, const QString& AExtension)
{
  const qsizetype slash = AFileName.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = AFileName.lastIndexOf(QLatin1Char('.'));
  return (dot > slash ? AFileName.left(dot) : AFileName) + AExtension;
}

bool CanCreateFile(const QString& AFileName)
{
  if (AFileName.isEmpty())
    return false;
  if (FileExists(AFileName))
    return true;
  const QByteArray name = EncodeFileName(AFileName);
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    return false;
  ::close(fd);
  ::unlink(name.constData());
  return true;
}

int ExecuteFile(const QString& AOperation, const QString& AFileName, const QString& AParameters, int AShowMode,
                const QString& ADefaultDir)
{
  // Only "open" exists here; the desktop decides how the program shows itself.
  Q_UNUSED(AOperation)
  Q_UNUSED(AShowMode)
  return ShellOpen(AFileName, AParameters, ADefaultDir);
}

void OpenLink(const QString& ALink)
{
  (void)OpenAddress(ALink);
}

QString TrimText(const QString& AText)
{
  qsizetype first = 0;
  qsizetype last = AText.size() - 1;
  while (first <= last && AText.at(first).unicode() <= 0x20)
    ++first;
  while (last >= first && AText.at(last).unicode() <= 0x20)
    --last;
  return AText.mid(first, last - first + 1);
}

QString CollapseSpaces(const QString& AText, bool AReplaceTabs, bool AReplaceLineBreaks)
{
  QString text = TrimText(AText);
  if (AReplaceTabs)
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
  if (AReplaceLineBreaks) {
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  }
  if (text.size() < 2)
    return text;
  QString result;
  result.reserve(text.size());
  result += text.at(0);
  for (qsizetype i = 1; i < text.size(); ++i) {
    if (text.at(i) == QLatin1Char(' ') && text.at(i - 1) == QLatin1Char(' '))
      continue;
    result += text.at(i);
  }
  return result;
}

bool IsBlank(const QString& AText)
{
  return TrimText(AText).isEmpty();
}

bool NotRunningUnderWow64()
{
  // A 64-bit build runs natively; there is no emulation layer to ask about.
  return true;
}

QString SafeFileName(const QString& AName)
{
  QString result;
  for (qsizetype i = 0; i < AName.size(); ++i) {
    const QChar c = AName.at(i);
    const char16_t u = c.unicode();
    const bool unsafe =
        u == u'%' || u == u'/' || u == u'\\' || u < 0x20 || (u >= 0x7F && u <= 0x9F) || (i == 0 && u == u'.');
    if (!unsafe) {
      result.append(c);
      continue;
    }
    for (const char byte : QString(c).toUtf8())
      result.append(QLatin1Char('%') +
                    QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper());
  }
  constexpr qsizetype MaxBytes = 200;
  const QByteArray bytes = result.toUtf8();
  if (bytes.size() <= MaxBytes)
    return result.isEmpty() ? QStringLiteral("%00") : result;
  qsizetype end = MaxBytes;
  while (end > 0 && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80)
    --end;
  const QByteArray hash = QCryptographicHash::hash(AName.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
  return QString::fromUtf8(bytes.left(end)) + QLatin1Char('~') + QString::fromLatin1(hash);
}
