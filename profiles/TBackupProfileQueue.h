// SPDX-License-Identifier: GPL-3.0-or-later
// The profiles chosen for the next run, by name, each at most once, run front to back.
#pragma once

#include "profiles/TBackupProfileQueueItem.h"

#include <memory>
#include <vector>

class TBackupProfileQueue
{
public:
  TBackupProfileQueue() = default;
  TBackupProfileQueue(const TBackupProfileQueue&) = delete;
  TBackupProfileQueue& operator=(const TBackupProfileQueue&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  TBackupProfileQueueItem* GetItem(int AIndex) const;
  // Position of the entry with exactly that name, -1 if none.
  int FindProfileIndex(const QString& AProfileName) const;
  TBackupProfileQueueItem* ProfileByName(const QString& AProfileName) const;
  // Appends a pending entry; raises EBackupProfileManagerException when the name is queued.
  // Whether a profile of that name exists is the run's business.
  TBackupProfileQueueItem* Add(const QString& AProfileName);
  void Clear() { FItems.clear(); }

  // Entries complete, failed or cancelled.
  int FinishedCount() const;

private:
  std::vector<std::unique_ptr<TBackupProfileQueueItem>> FItems;
};
