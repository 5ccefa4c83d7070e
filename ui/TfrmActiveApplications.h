// SPDX-License-Identifier: GPL-3.0-or-later
// Before a profile's backup: closes or ends the programs the profile lists, shows those still
// open and lets the user go on or skip the profile. Goes on by itself once they have gone.
#pragma once

#include "platform/TProgramWindows.h"

#include <QDialog>
#include <QStringList>
#include <QTimer>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;

class TfrmActiveApplications : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmActiveApplications(TProgramWindows& AWindows, QWidget* AParent = nullptr);

  // True when the backup may go on: none of AActivePrograms ("window title=window class") has a
  // window (nothing is shown then), or the dialog closed with Ok.
  [[nodiscard]] bool Execute(const QStringList& AActivePrograms, bool ACloseGraceFully);

  // Finds each listed program's window again and closes or ends it; a row for each one found.
  void RefreshList();

  // The controls, for tests and screenshots.
  QLabel* lblHeading = nullptr;
  QTreeWidget* ListViewActiveApplications = nullptr;
  QMenu* PopupMenu = nullptr;
  QAction* mnuClose = nullptr;
  QAction* mnuTerminate = nullptr;
  QAction* mnuRefresh = nullptr;
  QPushButton* btnContinue = nullptr;
  QPushButton* btnCancel = nullptr;
  // Every 5 seconds while the dialog shows.
  QTimer RefreshTimer;

protected:
  void showEvent(QShowEvent* AEvent) override;
  void hideEvent(QHideEvent* AEvent) override;

private:
  void RefreshTimerTimer();
  void ContinueClick();
  // "&Close" and "&Terminate" on the selected row.
  void SelectedRowAction(bool AGracefully);

  TProgramWindows& FWindows;
  bool FCloseGraceFully = true;
  QStringList FProgramList;
};
