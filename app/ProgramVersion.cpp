// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramVersion.h"

#include <QStringList>

// Both come from the build's project version and debian/copyright until the executable carries a
// version record of its own; then they are read from there.
QString ProgramFileVersion()
{
  QStringList parts = QStringLiteral(CORVALE_VERSION).split(QLatin1Char('.'));
  while (parts.size() < 4)
    parts << QStringLiteral("0");
  return parts.mid(0, 4).join(QLatin1Char('.'));
}

QString ProgramLegalNotice()
{
  return QStringLiteral("Copyright (C) 2026 The Corvale developers");
}
