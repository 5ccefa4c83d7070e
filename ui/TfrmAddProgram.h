// SPDX-License-Identifier: GPL-3.0-or-later
// Picks a program for a profile's list from the windows now open: its window title and class.
#pragma once

#include "platform/TProgramWindows.h"

#include <QDialog>
#include <QStringList>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TfrmAddProgram : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmAddProgram(TProgramWindows& AWindows, QWidget* AParent = nullptr);

  // Shows the windows now open; true when closed with Ok, then WindowName and WindowClass hold
  // the choice. Set both before to edit an entry.
  [[nodiscard]] bool Execute();

  // One entry "title=class" for each shown program window that is no other window's dialog and
  // has a title, from the top of the stacking order down.
  void GetWindowList(QStringList& AWindowList);

  QString WindowName() const;
  void SetWindowName(const QString& AValue);
  QString WindowClass() const;
  void SetWindowClass(const QString& AValue);

  // The controls, for tests and screenshots.
  QLabel* lblHeading = nullptr;
  QGroupBox* gbProgramDetails = nullptr;
  QLineEdit* editWindowTitle = nullptr;
  QLineEdit* editWindowClass = nullptr;
  QListWidget* lbActivePrograms = nullptr;
  QAction* ActionAddDetails = nullptr;
  QAction* ActionRefresh = nullptr;
  QPushButton* btnRefresh = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

private:
  void FillList();
  void CopyEntry();
  void OkClick();

  TProgramWindows& FWindows;
};
