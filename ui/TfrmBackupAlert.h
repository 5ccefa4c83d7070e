// SPDX-License-Identifier: GPL-3.0-or-later
// The overdue profiles, offered for a backup at once. Closing without a backup asks first.
#pragma once

#include "types/SharedTypes.h"

#include <QDialog>

#include <functional>

class QAction;
class QCalendarWidget;
class QLabel;
class QPushButton;
class QTreeWidget;
class TBackupProfileManager;
class TQueueRunner;

class TfrmBackupAlert : public QDialog
{
  Q_OBJECT

public:
  // ARunner, when given, backs up the ticked profiles after Backup; without it the caller does.
  // ANow is the clock the days overdue are counted on.
  TfrmBackupAlert(TBackupProfileManager& AManager, TQueueRunner* ARunner = nullptr,
                  std::function<TDateTime()> ANow = {}, QWidget* AParent = nullptr);

  // Shows the dialog modally. On Backup the manager's queue holds the ticked profiles in list
  // order, the runner (if any) backs them up, and the result is true.
  bool Execute();

  // The number of ticked rows; Backup needs at least one.
  int CheckedCount() const;
  // Always on top, except while the close question is asked.
  bool IsOnTop() const { return FOnTop; }

public slots:
  void reject() override;

protected:
  void showEvent(QShowEvent* AEvent) override;

private:
  void FillProfileList();
  void ActionUpdateCalendarExecute();
  void ShowProfileDetails(int AAlertDays, TDateTime ALastBackup);
  void ActionBackupExecute();
  void ActionBackupUpdate();
  void SetOnTop(bool AOnTop);

  bool FCanClose = false;
  bool FOnTop = true;
  TBackupProfileManager& FBackupProfileManager;
  TQueueRunner* FRunner;
  std::function<TDateTime()> FNow;

  QLabel* lblHeader;
  QLabel* lblProfileAlert;
  QTreeWidget* ListViewBackupProfiles;
  QCalendarWidget* Calendar;
  QLabel* lblDaysOverdue;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QAction* ActionBackup;
  QAction* ActionIgnore;
};
