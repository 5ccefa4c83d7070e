// SPDX-License-Identifier: GPL-3.0-or-later
// A backup of the profiles the user ticks, and what the computer does afterwards.
#pragma once

#include "types/SharedTypes.h"

#include <QDialog>

class QAction;
class QComboBox;
class QPushButton;
class QTreeWidget;
class TBackupProfileManager;

class TfrmCustomBackup : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmCustomBackup(TBackupProfileManager& AManager, QWidget* AParent = nullptr);

  // Shows the dialog modally with AExitParameter's option chosen. On Backup the manager's queue
  // holds the ticked profiles in list order, AExitParameter the chosen option, and the result is
  // true; otherwise neither is touched.
  [[nodiscard]] bool Execute(TExitParameter& AExitParameter);

  // The exit action of each entry of the "when backup has completed" list, in its order.
  static TExitParameter OptionExitParameter(int AIndex);

  // The controls, for tests and screenshots.
  QTreeWidget* ListViewBackupProfiles = nullptr;
  QComboBox* comboShutdownOption = nullptr;
  QPushButton* btnBackup = nullptr;
  QPushButton* btnCancel = nullptr;
  QAction* ActionBackup = nullptr;
  QAction* ActionCancel = nullptr;

protected:
  void showEvent(QShowEvent* AEvent) override;

private:
  void FillProfileList();
  void ActionBackupUpdate();
  void ActionBackupExecute();

  TBackupProfileManager& FBackupProfileManager;
};
