// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TEntryListView.h"

#include "profiles/TBackupProfileFiles.h"
#include "types/SharedTypes.h"

#include <QHeaderView>

TEntryListView::TEntryListView(QWidget* AParent)
  : QTreeWidget(AParent)
{
  setHeaderLabels({QStringLiteral("Directory"), QStringLiteral("Filename"), QStringLiteral("Recursive")});
  setRootIsDecorated(false);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::Stretch);
  header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
}

void TEntryListView::ShowEntries(const TBackupProfileFiles& AEntries)
{
  clear();
  for (int i = 0; i < AEntries.Count(); ++i) {
    const TBackupProfileFile* entry = AEntries.GetItem(i);
    new QTreeWidgetItem(this, {entry->Folder(), entry->FileMask(), BoolToStr(entry->Recursive())});
  }
}
