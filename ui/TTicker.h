// SPDX-License-Identifier: GPL-3.0-or-later
// The beat of a count-down: calls back once per period while started. Windows take one through
// their constructor, so tests step a count-down by hand instead of waiting for it.
#pragma once

#include <functional>

class TTicker
{
public:
  virtual ~TTicker() = default;

  // Calls AOnTick once per period until Stop.
  virtual void Start(std::function<void()> AOnTick) = 0;
  virtual void Stop() = 0;
  [[nodiscard]] virtual bool IsActive() const = 0;
};
