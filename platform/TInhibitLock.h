// SPDX-License-Identifier: GPL-3.0-or-later
// A held inhibitor lock: the system does not sleep while it lives. Closing its descriptor releases it.
#pragma once

#include <unistd.h>

class TInhibitLock
{
public:
  explicit TInhibitLock(int AFileDescriptor)
    : FFileDescriptor(AFileDescriptor)
  {}
  ~TInhibitLock()
  {
    if (FFileDescriptor >= 0)
      ::close(FFileDescriptor);
  }
  TInhibitLock(const TInhibitLock&) = delete;
  TInhibitLock& operator=(const TInhibitLock&) = delete;

private:
  int FFileDescriptor;
};
