// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TIniFile.h"

#include "platform/FileNames.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSaveFile>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// The file as lines of bytes, so that lines nobody changes are written back exactly as read.
struct TIniText
{
  QList<QByteArray> Lines;
  QByteArray LineEnd = QByteArrayLiteral("\n");
  bool HasBom = false;
};

enum TLineKind { lkOther, lkSection, lkKey };

struct TLine
{
  TLineKind Kind = lkOther;
  QString Name;
  QString Value;
};

TLine ParseLine(const QByteArray& ALine)
{
  TLine result;
  const QString text = QString::fromUtf8(ALine).trimmed();
  if (text.startsWith(QLatin1Char('['))) {
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    result.Kind = lkSection;
    result.Name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
    return result;
  }
  const qsizetype equals = text.indexOf(QLatin1Char('='));
  if (text.startsWith(QLatin1Char(';')) || equals < 0)
    return result;
  result.Kind = lkKey;
  result.Name = text.left(equals).trimmed();
  result.Value = text.mid(equals + 1).trimmed();
  if (result.Value.size() >= 2) {
    const QChar first = result.Value.front();
    if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && result.Value.back() == first)
      result.Value = result.Value.mid(1, result.Value.size() - 2);
  }
  return result;
}

bool SameName(const QString& A, const QString& B)
{
  return QString::compare(A.trimmed(), B.trimmed(), Qt::CaseInsensitive) == 0;
}

// False when the file exists but cannot be read; a missing file is an empty text.
bool LoadText(const QString& AFileName, TIniText& AText)
{
  QFile file(AFileName);
  if (!file.exists())
    return true;
  if (!file.open(QIODevice::ReadOnly))
    return false;
  QByteArray content = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return false;
  if (content.startsWith(Bom)) {
    AText.HasBom = true;
    content.remove(0, Bom.size());
  }
  if (content.contains("\r\n"))
    AText.LineEnd = QByteArrayLiteral("\r\n");
  if (content.isEmpty())
    return true;
  if (content.endsWith('\n'))
    content.chop(1);
  AText.Lines = content.split('\n');
  for (QByteArray& line : AText.Lines) {
    if (line.endsWith('\r'))
      line.chop(1);
  }
  return true;
}

// The header line of the first section of that name, or -1.
qsizetype FindSection(const TIniText& AText, const QString& ASection, qsizetype AFrom = 0)
{
  for (qsizetype i = AFrom; i < AText.Lines.size(); ++i) {
    const TLine line = ParseLine(AText.Lines.at(i));
    if (line.Kind == lkSection && SameName(line.Name, ASection))
      return i;
  }
  return -1;
}

// The line after a section's last line: the next header or the end of the file.
qsizetype SectionEnd(const TIniText& AText, qsizetype AHeader)
{
  for (qsizetype i = AHeader + 1; i < AText.Lines.size(); ++i) {
    if (ParseLine(AText.Lines.at(i)).Kind == lkSection)
      return i;
  }
  return AText.Lines.size();
}

qsizetype FindKey(const TIniText& AText, qsizetype AHeader, const QString& AKey, TLine* AFound = nullptr)
{
  const qsizetype end = SectionEnd(AText, AHeader);
  for (qsizetype i = AHeader + 1; i < end; ++i) {
    const TLine line = ParseLine(AText.Lines.at(i));
    if (line.Kind == lkKey && SameName(line.Name, AKey)) {
      if (AFound)
        *AFound = line;
      return i;
    }
  }
  return -1;
}

bool HasLineBreak(const QString& AText)
{
  return AText.contains(QLatin1Char('\n')) || AText.contains(QLatin1Char('\r'));
}

// A value that reading would change (outer blanks trimmed, a pair of outer quotes removed) is
// written inside double quotes, which reading removes again.
QString EncodeValue(const QString& AValue)
{
  bool quote = AValue != AValue.trimmed();
  if (!quote && AValue.size() >= 2) {
    const QChar first = AValue.front();
    quote = (first == QLatin1Char('"') || first == QLatin1Char('\'')) && AValue.back() == first;
  }
  return quote ? QString(QLatin1Char('"') + AValue + QLatin1Char('"')) : AValue;
}

[[noreturn]] void RaiseWrite(const QString& AFileName, const QString& AReason)
{
  throw EIniFileError(QStringLiteral("Unable to write to %1 (%2)").arg(AFileName, AReason));
}

// An exclusive lock on "<file>.lock". The kernel drops it when its holder dies, so a writer killed
// in the middle of a save never leaves the file locked for the next one. The holder removes the
// file when it is done; a waiter that got the lock on a file removed meanwhile starts over.
class TWriteLock
{
public:
  explicit TWriteLock(const QString& AFileName)
    : FFileName(EncodeFileName(AFileName))
  {}
  ~TWriteLock()
  {
    if (FFd < 0)
      return;
    ::unlink(FFileName.constData());
    ::close(FFd);
  }
  TWriteLock(const TWriteLock&) = delete;
  TWriteLock& operator=(const TWriteLock&) = delete;

  bool TryLock(int ATimeOutMs)
  {
    const QDeadlineTimer deadline(ATimeOutMs);
    for (;;) {
      const int fd = ::open(FFileName.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      if (fd < 0)
        return false;
      while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
          ::close(fd);
          return false;
        }
        QThread::msleep(5);
      }
      struct stat held = {};
      struct stat named = {};
      if (::fstat(fd, &held) == 0 && ::stat(FFileName.constData(), &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino) {
        FFd = fd;
        return true;
      }
      ::close(fd);
    }
  }

private:
  QByteArray FFileName;
  int FFd = -1;
};

class TIniWriter
{
public:
  explicit TIniWriter(const QString& AFileName)
    : FFileName(AFileName)
    , FLock(AFileName + QStringLiteral(".lock"))
  {
    if (AFileName.isEmpty())
      Raise(QStringLiteral("no file name"));
    // Read, change and replace under the lock, so that another process's write is not lost.
    if (!FLock.TryLock(15000))
      Raise(QStringLiteral("the file is locked or its folder is not writable"));
    if (!LoadText(AFileName, FText))
      Raise(QStringLiteral("the file cannot be read"));
  }

  TIniText& Text() { return FText; }

  void Save()
  {
    const bool isNew = !QFile::exists(FFileName);
    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly))
      Raise(file.errorString());
    // Settings files may hold scrambled passwords: a new one is private to the user.
    if (isNew)
      file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray content = FText.HasBom ? Bom : QByteArray();
    for (const QByteArray& line : FText.Lines)
      content += line + FText.LineEnd;
    if (file.write(content) != content.size() || !file.commit())
      Raise(file.errorString());
  }

  [[noreturn]] void Raise(const QString& AReason) const { RaiseWrite(FFileName, AReason); }

private:
  QString FFileName;
  TWriteLock FLock;
  TIniText FText;
};

} // namespace

TIniFile::TIniFile(const QString& AFileName)
  : FFileName(AFileName)
{}

QString TIniFile::ReadString(const QString& ASection, const QString& AKey, const QString& ADefault) const
{
  TIniText text;
  if (FFileName.isEmpty() || !LoadText(FFileName, text))
    return ADefault;
  const qsizetype header = FindSection(text, ASection);
  TLine line;
  if (header < 0 || FindKey(text, header, AKey, &line) < 0)
    return ADefault;
  return line.Value;
}

void TIniFile::WriteString(const QString& ASection, const QString& AKey, const QString& AValue)
{
  if (HasLineBreak(ASection) || ASection.contains(QLatin1Char(']')))
    RaiseWrite(FFileName, QStringLiteral("invalid section name \"%1\"").arg(ASection));
  const QString key = AKey.trimmed();
  if (key.isEmpty() || HasLineBreak(key) || key.contains(QLatin1Char('=')) || key.startsWith(QLatin1Char('[')) ||
      key.startsWith(QLatin1Char(';')))
    RaiseWrite(FFileName, QStringLiteral("invalid key name \"%1\"").arg(AKey));
  if (HasLineBreak(AValue))
    RaiseWrite(FFileName, QStringLiteral("the value of \"%1\" has a line break").arg(AKey));

  TIniWriter writer(FFileName);
  TIniText& text = writer.Text();
  const QString value = EncodeValue(AValue);
  const qsizetype header = FindSection(text, ASection);
  if (header < 0) {
    text.Lines << QString(QLatin1Char('[') + ASection.trimmed() + QLatin1Char(']')).toUtf8()
               << QString(key + QLatin1Char('=') + value).toUtf8();
  } else {
    TLine found;
    const qsizetype at = FindKey(text, header, key, &found);
    if (at >= 0) {
      text.Lines[at] = QString(found.Name + QLatin1Char('=') + value).toUtf8();
    } else {
      // After the section's last line that is not blank, so blank separators stay where they are.
      qsizetype insert = header + 1;
      const qsizetype end = SectionEnd(text, header);
      for (qsizetype i = header + 1; i < end; ++i) {
        if (!text.Lines.at(i).trimmed().isEmpty())
          insert = i + 1;
      }
      text.Lines.insert(insert, QString(key + QLatin1Char('=') + value).toUtf8());
    }
  }
  writer.Save();
}

bool TIniFile::ValueExists(const QString& ASection, const QString& AKey) const
{
  TIniText text;
  if (FFileName.isEmpty() || !LoadText(FFileName, text))
    return false;
  const qsizetype header = FindSection(text, ASection);
  return header >= 0 && FindKey(text, header, AKey) >= 0;
}

bool TIniFile::SectionExists(const QString& ASection) const
{
  TIniText text;
  return !FFileName.isEmpty() && LoadText(FFileName, text) && FindSection(text, ASection) >= 0;
}

QStringList TIniFile::ReadSection(const QString& ASection) const
{
  QStringList result;
  TIniText text;
  if (FFileName.isEmpty() || !LoadText(FFileName, text))
    return result;
  const qsizetype header = FindSection(text, ASection);
  if (header < 0)
    return result;
  const qsizetype end = SectionEnd(text, header);
  for (qsizetype i = header + 1; i < end; ++i) {
    const TLine line = ParseLine(text.Lines.at(i));
    if (line.Kind == lkKey && !result.contains(line.Name, Qt::CaseInsensitive))
      result << line.Name;
  }
  return result;
}

QStringList TIniFile::ReadSections() const
{
  QStringList result;
  TIniText text;
  if (FFileName.isEmpty() || !LoadText(FFileName, text))
    return result;
  for (const QByteArray& bytes : std::as_const(text.Lines)) {
    const TLine line = ParseLine(bytes);
    if (line.Kind == lkSection && !result.contains(line.Name, Qt::CaseInsensitive))
      result << line.Name;
  }
  return result;
}

void TIniFile::EraseSection(const QString& ASection)
{
  if (!SectionExists(ASection))
    return;
  TIniWriter writer(FFileName);
  TIniText& text = writer.Text();
  for (qsizetype header = FindSection(text, ASection); header >= 0; header = FindSection(text, ASection, header))
    text.Lines.remove(header, SectionEnd(text, header) - header);
  writer.Save();
}

void TIniFile::DeleteKey(const QString& ASection, const QString& AKey)
{
  if (!ValueExists(ASection, AKey))
    return;
  TIniWriter writer(FFileName);
  TIniText& text = writer.Text();
  const qsizetype header = FindSection(text, ASection);
  const qsizetype at = header < 0 ? -1 : FindKey(text, header, AKey);
  if (at < 0)
    return;
  text.Lines.remove(at);
  writer.Save();
}
