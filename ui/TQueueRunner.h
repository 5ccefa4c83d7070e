// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the profiles that are in the manager's queue, as the owner of the progress windows does it.
#pragma once

class TQueueRunner
{
public:
  virtual ~TQueueRunner() = default;
  // Backs up the queued profiles with no exit action afterwards.
  virtual void RunQueue() = 0;
};
