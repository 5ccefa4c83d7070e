// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfileQueue.h"

#include "profiles/EBackupProfileManagerException.h"

TBackupProfileQueueItem* TBackupProfileQueue::GetItem(int AIndex) const
{
  return FItems.at(static_cast<std::size_t>(AIndex)).get();
}

int TBackupProfileQueue::FindProfileIndex(const QString& AProfileName) const
{
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (FItems[i]->ProfileName() == AProfileName)
      return static_cast<int>(i);
  }
  return -1;
}

TBackupProfileQueueItem* TBackupProfileQueue::ProfileByName(const QString& AProfileName) const
{
  const int index = FindProfileIndex(AProfileName);
  return index < 0 ? nullptr : FItems[static_cast<std::size_t>(index)].get();
}

TBackupProfileQueueItem* TBackupProfileQueue::Add(const QString& AProfileName)
{
  if (FindProfileIndex(AProfileName) >= 0)
    throw EBackupProfileManagerException(QStringLiteral("Profile already queued \"%1\"").arg(AProfileName));
  FItems.push_back(std::make_unique<TBackupProfileQueueItem>(AProfileName));
  return FItems.back().get();
}

int TBackupProfileQueue::FinishedCount() const
{
  int count = 0;
  for (const auto& item : FItems) {
    const TBackupProfileQueueStatus status = item->QueueStatus();
    if (status == qsComplete || status == qsFailed || status == qsCancelled)
      ++count;
  }
  return count;
}
