// SPDX-License-Identifier: GPL-3.0-or-later
// A profile's source or exclusion entries as a list of folder, mask and recursion; the profile
// editor and the profile wizard show the same list.
#pragma once

#include <QTreeWidget>

class TBackupProfileFiles;

class TEntryListView : public QTreeWidget
{
  Q_OBJECT

public:
  explicit TEntryListView(QWidget* AParent);

  // Replaces the rows by one per entry, in the list's order.
  void ShowEntries(const TBackupProfileFiles& AEntries);
};
