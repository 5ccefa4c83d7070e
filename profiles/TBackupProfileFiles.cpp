// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfileFiles.h"

#include "sysinfo/Common.h"

TBackupProfileFile* TBackupProfileFiles::GetItem(int AIndex) const
{
  return FItems.at(static_cast<std::size_t>(AIndex)).get();
}

TBackupProfileFile* TBackupProfileFiles::Add(const QString& AFolder, const QString& AFileMask, bool ARecursive)
{
  if (TrimText(AFolder).isEmpty())
    return nullptr;
  TBackupProfileFile* item = ItemByName(AFolder, AFileMask);
  if (!item) {
    FItems.push_back(std::make_unique<TBackupProfileFile>());
    item = FItems.back().get();
  }
  item->SetFolder(AFolder);
  item->SetFileMask(AFileMask);
  item->SetRecursive(ARecursive);
  return item;
}

int TBackupProfileFiles::IndexByName(const QString& AFolder, const QString& AFileMask) const
{
  const QString folder = AFolder.toUpper();
  const QString mask = AFileMask.toUpper();
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (FItems[i]->Folder().toUpper() == folder && FItems[i]->FileMask().toUpper() == mask)
      return static_cast<int>(i);
  }
  return -1;
}

TBackupProfileFile* TBackupProfileFiles::ItemByName(const QString& AFolder, const QString& AFileMask) const
{
  const int index = IndexByName(AFolder, AFileMask);
  return index < 0 ? nullptr : FItems[static_cast<std::size_t>(index)].get();
}

void TBackupProfileFiles::Delete(int AIndex)
{
  FItems.erase(FItems.begin() + AIndex);
}
