// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TFileDescriptor.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

TFileDescriptor::~TFileDescriptor()
{
  if (FFd >= 0)
    ::close(FFd);
}

TFileDescriptor::TFileDescriptor(TFileDescriptor&& AOther) noexcept
  : FFd(std::exchange(AOther.FFd, -1))
{}

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& AOther) noexcept
{
  if (this != &AOther) {
    if (FFd >= 0)
      ::close(FFd);
    FFd = std::exchange(AOther.FFd, -1);
  }
  return *this;
}

TFileDescriptor TFileDescriptor::Open(const QByteArray& APath, int AFlags, mode_t AMode, int& AError)
{
  int fd = -1;
  do {
    fd = ::open(APath.constData(), AFlags | O_CLOEXEC, AMode);
  } while (fd < 0 && errno == EINTR);
  AError = fd < 0 ? errno : 0;
  return TFileDescriptor(fd);
}

int TFileDescriptor::Close()
{
  if (FFd < 0)
    return 0;
  // Linux releases the descriptor even when close fails, so it is never retried.
  const int result = ::close(std::exchange(FFd, -1));
  return result == 0 || errno == EINTR ? 0 : errno;
}

int TFileDescriptor::Release()
{
  return std::exchange(FFd, -1);
}
