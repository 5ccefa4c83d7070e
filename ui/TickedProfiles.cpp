// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TickedProfiles.h"

#include "profiles/TBackupProfileManager.h"

#include <QTreeWidget>

QStringList TickedProfiles(const QTreeWidget* AList)
{
  QStringList names;
  for (int i = 0; i < AList->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = AList->topLevelItem(i);
    if (row->checkState(0) == Qt::Checked)
      names << row->text(0);
  }
  return names;
}

void QueueTickedProfiles(const QTreeWidget* AList, TBackupProfileManager& AManager)
{
  AManager.ClearQueue();
  for (const QString& name : TickedProfiles(AList))
    if (AManager.Queue().FindProfileIndex(name) < 0)
      AManager.QueueAdd(name);
}
