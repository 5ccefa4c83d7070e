// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TRunProgress.h"

#include <QMetaObject>

#include <utility>

void TRunProgress::TBar::Hold(int AProgress, const QString& AMessage)
{
  Held = true;
  Progress = AProgress;
  if (!AMessage.isEmpty())
    Message = AMessage;
}

template <typename TChange> void TRunProgress::Change(TChange AChange)
{
  {
    std::lock_guard lock(FLock);
    AChange(FPending);
    if (std::exchange(FSignalled, true))
      return;
  }
  QMetaObject::invokeMethod(this, &TRunProgress::Arrived, Qt::QueuedConnection);
}

void TRunProgress::Item(int AProgress, const QString& AMessage)
{
  Change([&](TPending& APending) { APending.Item.Hold(AProgress, AMessage); });
}

void TRunProgress::Profile(int AProgress, const QString& AMessage)
{
  Change([&](TPending& APending) { APending.Profile.Hold(AProgress, AMessage); });
}

void TRunProgress::Total(int AProgress, const QString& AMessage)
{
  Change([&](TPending& APending) { APending.Total.Hold(AProgress, AMessage); });
}

void TRunProgress::Times(TDateTime AElapsed, TDateTime AEstimated)
{
  Change([&](TPending& APending) {
    APending.Times = true;
    APending.Elapsed = AElapsed;
    APending.Estimated = AEstimated;
  });
}

TRunProgress::TPending TRunProgress::Take()
{
  std::lock_guard lock(FLock);
  FSignalled = false;
  return std::exchange(FPending, TPending());
}
