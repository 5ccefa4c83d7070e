// SPDX-License-Identifier: GPL-3.0-or-later
// The automatic update: the options of the check, the periodic timer, one worker at a time, and
// starting the downloaded installer. Lives on the user-interface thread; never blocks it.
#pragma once

#include "update/TAutoUpdateThread.h"
#include "update/UpdateTypes.h"

#include <QObject>

#include <functional>
#include <memory>

class TProgramSettings;
class TThreadTimer;

class TAutoUpdate : public QObject
{
  Q_OBJECT

public:
  using TOnUpdateExecute =
      std::function<void(QObject* ASender, bool& AExecute, const QString& AFileName, const QString& AParameters)>;
  using TOnLog = std::function<void(QObject* ASender, const QString& AMessage)>;
  using TOnDebug = std::function<void(QObject* ASender, const QString& AProcedure, const QString& AMessage)>;

  explicit TAutoUpdate(QObject* AOwner = nullptr);
  // Stops the timer and a running worker (its transfer is aborted) and waits for both to end.
  ~TAutoUpdate() override;

  QString UpdateURL;
  QString ApplicationName;
  bool AutoUpdate = false;
  bool HTTPProxy = false;
  QString HTTPHost;
  int HTTPPort = 0;
  bool HTTPAuthentication = false;
  QString HTTPUserName;
  QString HTTPPassword;
  bool SocksProxy = false;
  TSocksVersion SocksVersion = svNoSocks;
  QString SocksHost;
  int SocksPort = 0;
  QString SocksUserName;
  QString SocksPassword;
  bool SocksAuthentication = false;
  int MonitorIntervalHours = 0;
  // An extra certificate authority the downloads trust, besides the system's (PEM file).
  QString CertificateAuthorityFile;

  TAutoUpdateThread::TOnUpdateAvailable OnUpdateAvailable;
  TAutoUpdateThread::TOnUpdateNotRequired OnUpdateNotRequired;
  TAutoUpdateThread::TOnUpdateBegin OnUpdateBegin;
  TAutoUpdateThread::TOnUpdateProgress OnUpdateProgress;
  TAutoUpdateThread::TOnUpdateEnd OnUpdateEnd;
  TOnUpdateExecute OnUpdateExecute;
  TOnLog OnLog;
  TOnDebug OnDebug;
  // The running program's version; the executable's file version by default.
  std::function<QString()> RunningVersion;
  // Ends the program after the installer has started; QCoreApplication::quit by default.
  std::function<void()> OnTerminate;

  TProgramSettings* ProgramSettings() const { return FProgramSettings; }
  void SetProgramSettings(TProgramSettings* ASettings) { FProgramSettings = ASettings; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue) { FEnabled = AValue; }
  bool Busy() const { return FBusy; }

  // Options in and out by name; raise EAutoUpdateError without ProgramSettings.
  void LoadSettings();
  void SaveSettings();

  // Starts one check unless one is running.
  void Execute();
  // The running check stops at its next progress report.
  void Cancel();
  bool Active() const { return FTimer != nullptr; }
  // True starts the periodic check (the first at once) when enabled; false stops it.
  void SetActive(bool AValue);

  // The stored "SOCKSVersion" option (0 none, 1 SOCKS 4, 2 SOCKS 5, 3 SOCKS 4A) and back.
  static TSocksVersion SocksVersionFromOption(int AOption);
  static int SocksVersionToOption(TSocksVersion AVersion);
  // The proxy the worker is handed: the HTTP one when both are on.
  TProxySettings ProxyChoice() const;
  // False when the update details come over plain http (the user's own choice of address):
  // then nothing in them, the checksum included, is verified.
  bool DescriptionVerified() const;

private:
  void Log(const QString& AMessage);
  void UpdateEnd(QObject* ASender, bool ASuccess, const QString& AMessage, const QString& AFileName,
                 const QString& AParameters);
  void RetireWorker();

  bool FBusy = false;
  bool FCancel = false;
  bool FEnabled = true;
  TProgramSettings* FProgramSettings = nullptr;
  std::unique_ptr<TThreadTimer> FTimer;
  std::unique_ptr<TAutoUpdateThread> FWorker;
};
