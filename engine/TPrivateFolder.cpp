// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TPrivateFolder.h"

#include "platform/FileNames.h"
#include "platform/FileSystem.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>

TPrivateFolder::TPrivateFolder(const QString& AParent, const QString& APrefix)
{
  QByteArray pattern = EncodeFileName(IncludeTrailingPathDelimiter(AParent) + APrefix + QStringLiteral("XXXXXX"));
  if (!::mkdtemp(pattern.data())) {
    FError = errno;
    return;
  }
  FPath = IncludeTrailingPathDelimiter(DecodeFileName(pattern));
}

TPrivateFolder::~TPrivateFolder()
{
  // removeRecursively deletes links without following them.
  if (IsValid())
    (void)QDir(FPath).removeRecursively();
}

int TPrivateFolder::CreateFile(const QString& AName, int& AError) const
{
  if (!IsValid()) {
    AError = FError;
    return -1;
  }
  int fd;
  do
    fd = ::open(EncodeFileName(FPath + AName).constData(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
  while (fd < 0 && errno == EINTR);
  AError = fd < 0 ? errno : 0;
  return fd;
}
