// SPDX-License-Identifier: GPL-3.0-or-later
// After a run with failures: the failed and cancelled profiles with their logs. Closes by itself
// after a count-down unless the user shows an interest in it.
#pragma once

#include "types/SharedTypes.h"
#include "ui/TTicker.h"

#include <QDialog>

#include <memory>

class QAction;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QTreeWidget;
class TBackupProfileManager;

class TfrmFailedBackup : public QDialog
{
  Q_OBJECT

public:
  // ATicker beats the count-down once a second; without one a timer does.
  explicit TfrmFailedBackup(TBackupProfileManager& AManager, std::unique_ptr<TTicker> ATicker = {},
                            QWidget* AParent = nullptr);
  ~TfrmFailedBackup() override;

  // Shows the dialog modally. It closes by itself after AAutoCloseTimeout seconds; 0 or less
  // leaves it open until the user closes it.
  void Execute(int AAutoCloseTimeout);

  // How a queue entry's state is worded in the list.
  static QString QueueStatusText(TBackupProfileQueueStatus AStatus);

  // Seconds left before the dialog closes by itself, while the count-down runs.
  int AutoCloseTimeout() const { return FAutoCloseTimeout; }
  bool IsCountingDown() const;

  // One second of the count-down; the ticker calls it.
  void TimerAutoCloseTimer();
  // Stops the count-down for good: the click on its text, Show Log and Save Log.
  void StopAutoClose();
  void ShowLog();
  void Back();
  void SaveLog();

  // The controls, for tests and screenshots.
  QStackedWidget* PageControl = nullptr;
  QWidget* tabFailedProfiles = nullptr;
  QWidget* tabLog = nullptr;
  QTreeWidget* ListViewFailedProfiles = nullptr;
  QListWidget* ListBoxLog = nullptr;
  QToolButton* btnBack = nullptr;
  QToolButton* btnSave = nullptr;
  QLabel* lblAutoClose = nullptr;
  QPushButton* btnOk = nullptr;
  QAction* ActionShowLog = nullptr;
  QAction* ActionBack = nullptr;
  QAction* ActionSaveLog = nullptr;

public slots:
  void done(int AResult) override;

protected:
  void showEvent(QShowEvent* AEvent) override;

private:
  void FillFailedProfiles();
  void ShowAutoCloseText();
  // Loads the log file into ListBoxLog; false when there is none to show.
  bool LoadLog(const QString& AFileName);
  void UpdateMenu();

  TBackupProfileManager& FBackupProfileManager;
  std::unique_ptr<TTicker> FTicker;
  int FAutoCloseTimeout = 0;
  // The log file whose lines ListBoxLog holds; empty when it holds none.
  QString FLoadedLog;
};
