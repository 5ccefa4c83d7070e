// SPDX-License-Identifier: GPL-3.0-or-later
// A private X server (Xvfb) for tests, optionally with a window manager (openbox), and the X
// clients the tests start on it. DISPLAY points at it while it runs.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TXServer
{
public:
  TXServer() = default;
  TXServer(const TXServer&) = delete;
  TXServer& operator=(const TXServer&) = delete;
  ~TXServer();

  // Starts the server on a free display; with AWindowManager also the window manager, returning
  // once it manages the screen. False, with Error saying why, when a part is missing or fails.
  [[nodiscard]] bool Start(bool AWindowManager);
  QString Error;
  QString Display;

  // Starts an X client on the server; it is ended with the server at the latest.
  QProcess* StartClient(const QString& AProgram, const QStringList& AArguments = {});
  // The test client that ignores close requests (arguments: title, class, then "pid", "hidden",
  // "owned"); its window id is its first line of output.
  QProcess* StartStubborn(const QStringList& AArguments);

  // True once AProcess has ended, by itself or killed.
  static bool WaitEnded(QProcess* AProcess, int ATimeOutMs = 15000);

private:
  // The root window's property as xprop shows it; empty when the server cannot be reached.
  static QByteArray RootProperty(const char* AName);
  static bool Answers();

  QProcess FServer;
  QProcess FWindowManager;
  std::vector<std::unique_ptr<QProcess>> FClients;
  QByteArray FSavedDisplay;
  bool FHadDisplay = false;
  bool FStarted = false;
};
