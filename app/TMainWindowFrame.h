// SPDX-License-Identifier: GPL-3.0-or-later
// How the main window looks: a borderless window with the banner (which moves it), the question,
// the list of the ten actions and the buttons Options, Ok and Cancel. Enter presses Ok, Esc
// presses Cancel, and Shift held while Cancel is released asks to quit. What the buttons do is
// TfrmOrvel's.
#pragma once

#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;

class TMainWindowFrame : public QWidget
{
  Q_OBJECT

public:
  explicit TMainWindowFrame(QWidget* AParent = nullptr);

  // The buttons trigger these actions and follow their enabled state.
  void BindButtons(QAction* AOptions, QAction* AOk, QAction* AHide);

  QLabel* imgLogo = nullptr;
  QLabel* lblShutdown = nullptr;
  QComboBox* ComboBoxSelectBackup = nullptr;
  QPushButton* bntOptions = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

signals:
  // Shift was held while Cancel was released.
  void QuitRequested();

protected:
  void keyPressEvent(QKeyEvent* AEvent) override;
  void paintEvent(QPaintEvent* AEvent) override;
  bool eventFilter(QObject* AWatched, QEvent* AEvent) override;
};
