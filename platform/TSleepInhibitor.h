// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the machine from going to sleep or blanking while the program works.
#pragma once

#include <QString>

#include <memory>

class TSleepInhibitor
{
public:
  virtual ~TSleepInhibitor() = default;

  // Holds the inhibition, AReason telling the user why; false when the system refused it (the
  // work goes on all the same). Holding it already is success.
  [[nodiscard]] virtual bool Acquire(const QString& AReason) = 0;
  // Lets the machine sleep again; nothing when not held.
  virtual void Release() = 0;
  virtual bool Held() const = 0;
};

// The inhibitor of this system. Nothing is contacted until the first Acquire.
std::unique_ptr<TSleepInhibitor> CreateSleepInhibitor();
