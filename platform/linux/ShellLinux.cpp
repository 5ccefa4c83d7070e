// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

#include <QProcess>
#include <QUrl>

#include <unistd.h>

QStringList SplitCommandLine(const QString& ACommandLine)
{
  // The rules of CommandLineToArgvW: 2n backslashes before a quote give n backslashes and a
  // quote that toggles quoting; 2n+1 give n backslashes and a literal quote; other backslashes
  // are literal; "" inside quotes is a literal quote.
  QStringList result;
  QString current;
  bool inQuotes = false;
  bool haveArgument = false;
  const qsizetype length = ACommandLine.size();
  for (qsizetype i = 0; i < length; ++i) {
    const QChar c = ACommandLine.at(i);
    if (c == QLatin1Char('\\')) {
      qsizetype backslashes = 0;
      while (i < length && ACommandLine.at(i) == QLatin1Char('\\')) {
        ++backslashes;
        ++i;
      }
      if (i < length && ACommandLine.at(i) == QLatin1Char('"')) {
        current += QString(backslashes / 2, QLatin1Char('\\'));
        if (backslashes % 2 == 1) {
          current += QLatin1Char('"');
        } else {
          inQuotes = !inQuotes;
        }
        haveArgument = true;
      } else {
        current += QString(backslashes, QLatin1Char('\\'));
        --i;
        haveArgument = true;
      }
    } else if (c == QLatin1Char('"')) {
      if (inQuotes && i + 1 < length && ACommandLine.at(i + 1) == QLatin1Char('"')) {
        current += QLatin1Char('"');
        ++i;
      } else {
        inQuotes = !inQuotes;
      }
      haveArgument = true;
    } else if (!inQuotes && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
      if (haveArgument) {
        result << current;
        current.clear();
        haveArgument = false;
      }
    } else {
      current += c;
      haveArgument = true;
    }
  }
  if (haveArgument)
    result << current;
  return result;
}

int ShellOpen(const QString& AFile, const QString& AParameters, const QString& ADirectory)
{
  if (AFile.isEmpty())
    return srFileNotFound;
  const bool isLink = AFile.contains(QStringLiteral("://")) || AFile.startsWith(QStringLiteral("mailto:"));
  if (!isLink && !FileExists(AFile) && !DirectoryExists(AFile))
    return srFileNotFound;

  QString program;
  QStringList arguments;
  if (!isLink && FileExists(AFile) && ::access(EncodeFileName(AFile).constData(), X_OK) == 0) {
    program = AFile;
    arguments = SplitCommandLine(AParameters);
  } else {
    program = QStringLiteral("xdg-open");
    arguments << AFile;
  }
  const QString directory = DirectoryExists(ADirectory) ? ADirectory : QString();
  return QProcess::startDetached(program, arguments, directory) ? srSuccess : srNoAssociation;
}
