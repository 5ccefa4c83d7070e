// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TBackgroundJob.h"

#include <utility>

TBackgroundJob::TBackgroundJob(std::function<void(TBackgroundJob&)> AWork)
{
  FThread = std::thread([this, work = std::move(AWork)] {
    std::exception_ptr error;
    try {
      work(*this);
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(FLock);
    FError = error;
    FStage = Finished;
    FChanged.notify_all();
  });
}

TBackgroundJob::~TBackgroundJob()
{
  FThread.join();
}

void TBackgroundJob::Reach(int AStage)
{
  std::lock_guard lock(FLock);
  if (AStage > FStage)
    FStage = AStage;
  FChanged.notify_all();
}

void TBackgroundJob::Wait(int AStage, const std::function<void()>& ATick)
{
  std::unique_lock lock(FLock);
  while (!FChanged.wait_for(lock, TickPeriod, [&] { return FStage >= AStage; })) {
    lock.unlock();
    if (ATick)
      ATick();
    lock.lock();
  }
  if (FStage == Finished && FError)
    std::rethrow_exception(std::exchange(FError, nullptr));
}
