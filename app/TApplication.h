// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: an exception that escapes an event handler goes to OnException instead
// of ending the program.
#pragma once

#include <QApplication>

#include <exception>
#include <functional>

class TApplication : public QApplication
{
  Q_OBJECT

public:
  TApplication(int& AArgc, char** AArgv);

  std::function<void(const std::exception& AError)> OnException;

  bool notify(QObject* AReceiver, QEvent* AEvent) override;

  // Closes every dialog on screen as rejected, past any question of its own (the Backup Alerts
  // window asks before it closes): the session ends. A question a run waits on answers no.
  static void CloseDialogs();
  // The readable name of AError's type, for the exception window.
  static QString ClassName(const std::exception& AError);
};
