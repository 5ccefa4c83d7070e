// SPDX-License-Identifier: GPL-3.0-or-later
// The real beat of a count-down: a Qt timer.
#pragma once

#include "ui/TTicker.h"

#include <QTimer>

class TTimerTicker : public TTicker
{
public:
  explicit TTimerTicker(int AIntervalMSecs);

  void Start(std::function<void()> AOnTick) override;
  void Stop() override;
  [[nodiscard]] bool IsActive() const override;

private:
  QTimer FTimer;
  std::function<void()> FOnTick;
};
