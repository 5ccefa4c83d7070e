// SPDX-License-Identifier: GPL-3.0-or-later
// Picks a folder with a file mask: a drive list, a folder tree and the mask options.
#pragma once

#include "ui/UserDrives.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QPushButton;
class QTreeView;

class TfrmFolderSelect : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmFolderSelect(QWidget* AParent = nullptr);

  // Set before Execute and read after it.
  QString Folder;
  QString Wildcards;
  bool Recurse = false;
  bool ShowHidden = false;

  // True when the user picked a folder with Ok; on Cancel Folder is empty, Wildcards "*.*" and
  // Recurse false.
  [[nodiscard]] bool Execute();

  // The folder the tree shows as selected, or the drive's own folder when none is.
  QString SelectedFolder() const;
  // Selects a folder in the tree, switching to the drive that holds it.
  void SelectFolder(const QString& AFolder);

  QComboBox* ComboBoxDrives;
  QTreeView* TreeViewFolders;
  QGroupBox* gbOptions;
  QComboBox* ComboBoxWildcard;
  QCheckBox* cbRecurse;
  QCheckBox* cbShowHidden;
  QPushButton* btnOk;
  QPushButton* btnCancel;

private:
  void OnDriveChange(int AIndex);
  void OnShowHiddenClick();

  QFileSystemModel* FModel;
  QList<TUserDrive> FDrives;
};
