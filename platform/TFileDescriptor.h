// SPDX-License-Identifier: GPL-3.0-or-later
// A file descriptor that is closed when it goes out of scope, unless it was closed (and the
// result checked) or released before.
#pragma once

#include <QByteArray>

#include <sys/types.h>

class TFileDescriptor
{
public:
  TFileDescriptor() = default;
  explicit TFileDescriptor(int AFd)
    : FFd(AFd)
  {}
  ~TFileDescriptor();
  TFileDescriptor(TFileDescriptor&& AOther) noexcept;
  TFileDescriptor& operator=(TFileDescriptor&& AOther) noexcept;
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  // Opens APath with AFlags plus O_CLOEXEC, retrying on EINTR. On failure the result is not
  // open and AError holds the errno.
  static TFileDescriptor Open(const QByteArray& APath, int AFlags, mode_t AMode, int& AError);

  int Fd() const { return FFd; }
  bool IsOpen() const { return FFd >= 0; }

  // Closes the descriptor; 0 or the errno of close (the last chance to hear of a failed write).
  [[nodiscard]] int Close();
  // Gives up ownership without closing.
  int Release();

private:
  int FFd = -1;
};
