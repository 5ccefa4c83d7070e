// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TApplicationVersionInfo.h"

#include "platform/Folders.h"
#include "sysinfo/Common.h"

#include <cstdio>
#include <cstring>

TApplicationVersionInfo::TApplicationVersionInfo()
{
  SetExceptionOnError(false);
  SetFileName(ExecutableFileName());
}

QString TApplicationVersionInfo::ProgramVersion()
{
  const QString version = TApplicationVersionInfo().FileVersion();
  return version.isEmpty() ? QStringLiteral("0.0.0.0") : version;
}

QString TApplicationVersionInfo::ProgramProductName()
{
  const QString name = TApplicationVersionInfo().ProductName();
  return name.isEmpty() ? ApplicationTitle() : name;
}

QString TApplicationVersionInfo::VersionText() const
{
  QString text = (ProductName().isEmpty() ? ApplicationTitle() : ProductName()) + QLatin1Char(' ') + FileVersion() +
                 QLatin1Char('\n');
  if (!FileDescription().isEmpty())
    text += FileDescription() + QLatin1Char('\n');
  if (!LegalCopyright().isEmpty())
    text += LegalCopyright() + QLatin1Char('\n');
  return text;
}

bool PrintVersionWhenAsked(int argc, char* argv[])
{
  if (argc != 2 || std::strcmp(argv[1], "--version") != 0)
    return false;
  const QByteArray text = TApplicationVersionInfo().VersionText().toUtf8();
  std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
  std::fflush(stdout);
  return true;
}
