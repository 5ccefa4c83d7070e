// SPDX-License-Identifier: GPL-3.0-or-later
// The worker of one update check: downloads the update description and, when the user agrees,
// the installer. Every callback runs on the thread that created the worker while the worker waits.
#pragma once

#include "update/TSyncLink.h"
#include "update/UpdateTypes.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <functional>

class THttpClient;

class TAutoUpdateThread : public QThread
{
  Q_OBJECT

public:
  using TOnUpdateBegin = std::function<void(QObject* ASender)>;
  using TOnUpdateAvailable = std::function<void(QObject* ASender, const QString& AApplicationName,
                                                const QString& ANewVersion, const QString& AOldVersion, bool& AStart)>;
  using TOnUpdateNotRequired =
      std::function<void(QObject* ASender, const QString& AApplicationName, const QString& AVersion)>;
  using TOnUpdateProgress =
      std::function<void(QObject* ASender, const QString& AMessage, int AProgress, bool& ACancel)>;
  using TOnUpdateEnd = std::function<void(QObject* ASender, bool ASuccess, const QString& AMessage,
                                          const QString& AFileName, const QString& AParameters)>;
  using TOnUpdateDebug = std::function<void(QObject* ASender, const QString& AProcedure, const QString& AMessage)>;
  using TOnUpdateLog = std::function<void(QObject* ASender, const QString& AMessage)>;

  struct TCallbacks
  {
    TOnUpdateAvailable OnUpdateAvailable;
    TOnUpdateNotRequired OnUpdateNotRequired;
    TOnUpdateBegin OnUpdateBegin;
    TOnUpdateProgress OnUpdateProgress;
    TOnUpdateEnd OnUpdateEnd;
    TOnUpdateDebug OnDebug;
    // A line for the user's log.
    TOnUpdateLog OnLog;
  };

  // Created on the user-interface thread; starts at once.
  TAutoUpdateThread(const QString& AUpdateURL, const QString& AApplicationName, const QString& ACurrentVersion,
                    TCallbacks ACallbacks, bool AAutoUpdate, const TProxySettings& AProxy,
                    const QString& ACertificateAuthorityFile);
  ~TAutoUpdateThread() override;

  // From the user-interface thread: the running transfer ends at its next notification and no
  // callback runs any more once Detach has been called.
  void RequestStop() { FStopRequested = true; }
  void Detach();

  // Above this the description is refused: it is a few lines of text.
  static constexpr qint64 MaximumDescriptionSize = 1024 * 1024;
  // Above this the installer is refused, so a server cannot fill the disk.
  static constexpr qint64 MaximumInstallerSize = 1024 * 1024 * 1024;

protected:
  void run() override;

private:
  void Check();
  [[nodiscard]] bool Download(const QString& AURL, const QString& ATarget, qint64 AMaximumSize);
  [[nodiscard]] bool CreatePrivateFolder();
  QString TemporaryName(const QString& APrefix) const;
  // Transfer reports (AThin) with an unchanged value pass at most every 16 seconds; step reports always.
  void Progress(const QString& AMessage, int AValue, bool AThin = false);
  void Work(qint64 ACount);
  bool Sync(const std::function<void()>& AWork) { return FLink.Call(AWork); }
  [[nodiscard]] bool ChecksumMatches(const QString& AFileName, const QString& AExpected) const;
  void RemovePrivateFolder();

  TSyncLink FLink;
  TCallbacks FCallbacks;
  THttpClient* FHttp = nullptr;
  qint64 FWorkMax = 0;
  QString FUpdateURL;
  QString FApplicationName;
  bool FAutoUpdate;
  TProxySettings FProxy;
  QString FCertificateAuthorityFile;
  bool FCancel = false;
  std::atomic<bool> FStopRequested = false;
  QString FProgressMessage;
  int FProgressValue = 0;
  int FLastProgressValue = -1;
  QElapsedTimer FLastProgressTime;
  QString FCurrentVersion;
  QString FNewVersion = QStringLiteral("0.0.0.0");
  bool FStart = false;
  bool FSuccess = false;
  QString FErrorMessage;
  QString FUpdateFileName;
  QString FUpdateFileURL;
  QString FUpdateParams;
  QString FFolder; // the private download folder, with a trailing separator
};
