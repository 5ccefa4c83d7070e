// SPDX-License-Identifier: GPL-3.0-or-later
// Runs work from a background thread on the thread that created the link, and waits for it.
// Closing the link (on the creating thread) drops the calls still queued and refuses new ones,
// so an owner can stop a thread without waiting on a call its own thread would have to run.
#pragma once

#include <QMutex>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class TSyncLink
{
public:
  TSyncLink();
  ~TSyncLink();
  TSyncLink(const TSyncLink&) = delete;
  TSyncLink& operator=(const TSyncLink&) = delete;

  // From the background thread: runs AWork on the creating thread and returns once it has run
  // (true) or was dropped because the link is closed (false).
  bool Call(const std::function<void()>& AWork);
  // On the creating thread.
  void Close();
  bool Closed() const { return FClosed; }

private:
  QMutex FMutex;
  std::atomic<bool> FClosed = false;
  std::unique_ptr<QObject> FContext;
};
