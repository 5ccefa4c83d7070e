// SPDX-License-Identifier: GPL-3.0-or-later
// One entry of the backup queue: a profile's name and how far its run has come.
#pragma once

#include "types/SharedTypes.h"

#include <QString>

class TBackupProfileQueueItem
{
public:
  explicit TBackupProfileQueueItem(const QString& AProfileName)
    : FProfileName(AProfileName)
  {}

  const QString& ProfileName() const { return FProfileName; }
  TBackupProfileQueueStatus QueueStatus() const { return FQueueStatus; }
  void SetQueueStatus(TBackupProfileQueueStatus AValue) { FQueueStatus = AValue; }

private:
  QString FProfileName;
  TBackupProfileQueueStatus FQueueStatus = qsPending;
};
