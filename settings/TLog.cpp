// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TLog.h"

#include "platform/FileNames.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"

#include <unistd.h>

namespace {

const QString Dashes = QStringLiteral("----------------------------");

QString Banner(const QString& AWord)
{
  return Dashes + QStringLiteral("| Log ") + AWord + QLatin1Char(' ') + TLog::TimeStamp() + QLatin1Char('|') + Dashes;
}

} // namespace

TLog::TLog(QObject* AOwner)
  : QObject(AOwner)
{}

TLog::~TLog()
{
  // The owner deactivates the log first; a log still open is closed without raising.
  if (FActive) {
    try {
      SetActive(false);
    } catch (const ELogError&) {
    }
  }
}

QString TLog::TimeStamp()
{
  // The local time costs glibc a look at /etc/localtime, several per line, and a run logs a
  // line per file: the text is made again only when the second changes.
  thread_local qint64 second = -1;
  thread_local QString text;
  if (const qint64 now = TClock::SecondsSinceEpoch(); now != second) {
    text = DateTimeToStr(TClock::Now());
    second = now;
  }
  return text;
}

void TLog::RaiseFileError(const QString& AAction) const
{
  throw ELogError(QStringLiteral("Failed to %1 \"%2\": %3").arg(AAction, FFileName, FFile.errorString()));
}

void TLog::OpenFile(bool AAppend)
{
  FFile.setFileName(FFileName);
  const QIODevice::OpenMode mode =
      AAppend ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
  if (!FFile.open(mode))
    RaiseFileError(QStringLiteral("open log file"));
}

void TLog::WriteLine(const QString& ALine)
{
  const QByteArray bytes = QString(ALine + QStringLiteral("\r\n")).toUtf8();
  if (FFile.write(bytes) != bytes.size())
    RaiseFileError(QStringLiteral("write log file"));
}

void TLog::Flush()
{
  if (!FFile.flush())
    RaiseFileError(QStringLiteral("flush log file"));
}

void TLog::SetActive(bool AValue)
{
  if (AValue == FActive)
    return;
  if (AValue) {
    OpenFile(FAppendLog && QFile::exists(FFileName));
    const QString banner = Banner(QStringLiteral("Start"));
    WriteLine(banner);
    Flush();
    FLastMessage.clear();
    FLastMessageCount = 0;
    FLogCache.clear();
    FLogCache.append(banner);
    FActive = true;
  } else {
    Flush();
    const QString banner = Banner(QStringLiteral("End"));
    WriteLine(banner);
    Flush();
    // The program may power the machine off right after a run: put the log on disk.
    ::fsync(FFile.handle());
    FFile.close();
    FLogCache.append(banner);
    FActive = false;
  }
}

void TLog::SetFileName(const QString& AValue)
{
  SetActive(false);
  bool valid = QFile::exists(AValue);
  if (!valid && !AValue.isEmpty()) {
    QFile trial(AValue);
    valid = trial.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    if (valid) {
      trial.close();
      trial.remove();
    }
  }
  if (!valid)
    throw ELogError(QStringLiteral("\"%1\" is not a valid filename").arg(AValue));
  FFileName = AValue;
}

void TLog::Add(const QString& AMessage)
{
  if (!FActive)
    throw ELogError(QStringLiteral("Log is not active."));
  QString message = AMessage;
  // One message, one line; what else the message holds is shown escaped, so that a file name
  // that holds control characters or bytes that are not UTF-8 is named exactly.
  message.remove(QLatin1Char('\r'));
  message.replace(QLatin1Char('\n'), QLatin1Char(' '));
  message = PrintableText(message);
  if (message.isEmpty())
    return;
  if (message == FLastMessage) {
    ++FLastMessageCount;
    return;
  }
  while (FLogCache.size() > qMax(FCacheSize, 0))
    FLogCache.removeLast();
  if (FLastMessageCount > 0) {
    const QString repeat =
        TimeStamp() + QStringLiteral(": ") + QStringLiteral("Last message repeated %1 time(s)").arg(FLastMessageCount);
    WriteLine(repeat);
    FLogCache.prepend(repeat);
  }
  Flush();
  const QString line = TimeStamp() + QStringLiteral(": ") + message;
  WriteLine(line);
  FLogCache.prepend(line);
  Flush();
  FLastMessage = message;
  FLastMessageCount = 0;
}

void TLog::Clear()
{
  if (!FActive)
    throw ELogError(QStringLiteral("Failed to clear log file \"%1\": the file is not open").arg(FFileName));
  FFile.close();
  OpenFile(false);
}
