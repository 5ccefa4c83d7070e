// SPDX-License-Identifier: GPL-3.0-or-later
// Work that blocks for long stretches (libzip's closing of an archive, a flush to disk) done on a
// thread of its own, so that the calling thread, which may own a window, keeps turning: Wait
// calls a tick on the calling thread every period until the work has reached a stage.
#pragma once

#include <chrono>
#include <climits>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class TBackgroundJob
{
public:
  static constexpr int Finished = INT_MAX; // the stage of a job that has returned
  static constexpr std::chrono::milliseconds TickPeriod{20};

  // Starts AWork at once; it may mark its stages with Reach.
  explicit TBackgroundJob(std::function<void(TBackgroundJob&)> AWork);
  // Waits for the work without ticking: call Wait(Finished) first where the wait may be long.
  ~TBackgroundJob();
  TBackgroundJob(const TBackgroundJob&) = delete;
  TBackgroundJob& operator=(const TBackgroundJob&) = delete;

  // From the work: it has reached AStage (stages only grow).
  void Reach(int AStage);
  // From the calling thread: calls ATick every TickPeriod until the work has reached AStage.
  // What the work raised is raised here once it has finished; what ATick raises leaves the work
  // running (the destructor still waits for it).
  void Wait(int AStage, const std::function<void()>& ATick);

private:
  std::mutex FLock;
  std::condition_variable FChanged;
  int FStage = 0;
  std::exception_ptr FError;
  std::thread FThread;
};
