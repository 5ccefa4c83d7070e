// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/TAutoUpdate.h"

#include "platform/FileSystem.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "sysinfo/TApplicationVersionInfo.h"
#include "update/EAutoUpdateError.h"
#include "update/TThreadTimer.h"
#include "update/UpdateLauncher.h"

#include <QCoreApplication>

namespace {

const QString NoSettings = QStringLiteral("Property ProgramSettings has not been assigned.");

} // namespace

TAutoUpdate::TAutoUpdate(QObject* AOwner)
  : QObject(AOwner)
  , UpdateURL(TApplicationOptions::DefaultUpdateURL)
  , ApplicationName(TApplicationVersionInfo::ProgramProductName())
  , RunningVersion(&TApplicationVersionInfo::ProgramVersion)
  , OnTerminate([] { QCoreApplication::quit(); })
{}

TAutoUpdate::~TAutoUpdate()
{
  SetActive(false);
  FWorker.reset();
}

TSocksVersion TAutoUpdate::SocksVersionFromOption(int AOption)
{
  // The Options dialog lists "None", "Socks 4", "Socks 5".
  switch (AOption) {
  case 1:
    return svSocks4;
  case 2:
    return svSocks5;
  case 3:
    return svSocks4A;
  default:
    return svNoSocks;
  }
}

int TAutoUpdate::SocksVersionToOption(TSocksVersion AVersion)
{
  switch (AVersion) {
  case svSocks4:
    return 1;
  case svSocks5:
    return 2;
  case svSocks4A:
    return 3;
  case svNoSocks:
    break;
  }
  return 0;
}

void TAutoUpdate::LoadSettings()
{
  if (!FProgramSettings)
    throw EAutoUpdateError(NoSettings);
  const auto value = [this](const char* AName) { return FProgramSettings->GetValueByName(QLatin1String(AName)); };
  FEnabled = value("AutomaticUpdateEnabled").toBool();
  ApplicationName = value("AutomaticUpdateApplication").toString();
  AutoUpdate = value("AutomaticUpdateAutomatic").toBool();
  UpdateURL = value("AutomaticUpdateURL").toString();
  HTTPProxy = value("HTTPProxy").toBool();
  HTTPHost = value("HTTPHost").toString();
  HTTPPort = value("HTTPPort").toInt();
  HTTPAuthentication = value("HTTPAuthentication").toBool();
  HTTPUserName = value("HTTPUserName").toString();
  HTTPPassword = value("HTTPPassword").toString();
  SocksProxy = value("SOCKSProxy").toBool();
  SocksHost = value("SOCKSHost").toString();
  SocksPort = value("SOCKSPort").toInt();
  SocksVersion = SocksVersionFromOption(value("SOCKSVersion").toInt());
  SocksAuthentication = value("SOCKSAuthentication").toBool();
  SocksUserName = value("SOCKSUserName").toString();
  SocksPassword = value("SOCKSPassword").toString();
  MonitorIntervalHours = value("AutomaticUpdateInterval").toInt();
}

void TAutoUpdate::SaveSettings()
{
  if (!FProgramSettings)
    throw EAutoUpdateError(NoSettings);
  const auto set = [this](const char* AName, const QVariant& AValue) {
    FProgramSettings->SetValueByName(QLatin1String(AName), AValue);
  };
  set("AutomaticUpdateEnabled", FEnabled);
  set("AutomaticUpdateApplication", ApplicationName);
  set("AutomaticUpdateAutomatic", AutoUpdate);
  set("AutomaticUpdateURL", UpdateURL);
  set("HTTPProxy", HTTPProxy);
  set("HTTPHost", HTTPHost);
  set("HTTPPort", HTTPPort);
  set("HTTPAuthentication", HTTPAuthentication);
  set("HTTPUserName", HTTPUserName);
  set("HTTPPassword", HTTPPassword);
  set("SOCKSProxy", SocksProxy);
  set("SOCKSHost", SocksHost);
  set("SOCKSPort", SocksPort);
  set("SOCKSVersion", SocksVersionToOption(SocksVersion));
  set("SOCKSAuthentication", SocksAuthentication);
  set("SOCKSUserName", SocksUserName);
  set("SOCKSPassword", SocksPassword);
  set("AutomaticUpdateInterval", MonitorIntervalHours);
}

void TAutoUpdate::SetActive(bool AValue)
{
  if (AValue) {
    if (FTimer || !FEnabled)
      return;
    // At least an hour between checks, so the server and the user are not flooded.
    const qint64 hours = qMax(MonitorIntervalHours, 1);
    FTimer = std::make_unique<TThreadTimer>([this] { Execute(); }, hours * 3600000);
  } else {
    FTimer.reset();
  }
}

TProxySettings TAutoUpdate::ProxyChoice() const
{
  TProxySettings proxy;
  proxy.Enabled = HTTPProxy || SocksProxy;
  proxy.Type = !HTTPProxy && SocksProxy ? ptSocks : ptHTTP;
  if (proxy.Type == ptHTTP) {
    proxy.Host = HTTPHost;
    proxy.Port = HTTPPort;
    proxy.Authentication = HTTPAuthentication;
    proxy.UserName = HTTPUserName;
    proxy.Password = HTTPPassword;
  } else {
    proxy.Host = SocksHost;
    proxy.Port = SocksPort;
    proxy.Authentication = SocksAuthentication;
    proxy.UserName = SocksUserName;
    proxy.Password = SocksPassword;
  }
  proxy.SocksVersion = SocksVersion;
  return proxy;
}

void TAutoUpdate::Execute()
{
  if (FBusy) {
    if (OnDebug)
      OnDebug(this, QStringLiteral("Execute"), QStringLiteral("An update request is already active."));
    return;
  }
  FBusy = true;
  FCancel = false;
  RetireWorker();

  TAutoUpdateThread::TCallbacks callbacks;
  callbacks.OnUpdateBegin = [this](QObject*) {
    Log(QStringLiteral("Checking for software update..."));
    if (OnUpdateBegin)
      OnUpdateBegin(this);
  };
  callbacks.OnUpdateAvailable = [this](QObject*, const QString& AApplicationName, const QString& ANewVersion,
                                       const QString& AOldVersion, bool& AStart) {
    Log(QStringLiteral("\"%1\" (%2) a new version \"%3\" is available")
            .arg(AApplicationName, AOldVersion, ANewVersion));
    if (OnUpdateAvailable)
      OnUpdateAvailable(this, AApplicationName, ANewVersion, AOldVersion, AStart);
  };
  callbacks.OnUpdateNotRequired = [this](QObject*, const QString& AApplicationName, const QString& AVersion) {
    Log(QStringLiteral("\"%1\" is already up to date \"%2\"").arg(AApplicationName, AVersion));
    if (OnUpdateNotRequired)
      OnUpdateNotRequired(this, AApplicationName, AVersion);
  };
  callbacks.OnUpdateProgress = [this](QObject*, const QString& AMessage, int AProgress, bool& ACancel) {
    if (OnUpdateProgress) {
      ACancel = FCancel;
      OnUpdateProgress(this, AMessage, AProgress, ACancel);
    }
  };
  callbacks.OnUpdateEnd = [this](QObject* ASender, bool ASuccess, const QString& AMessage, const QString& AFileName,
                                 const QString& AParameters) {
    UpdateEnd(ASender, ASuccess, AMessage, AFileName, AParameters);
  };
  callbacks.OnDebug = [this](QObject*, const QString& AProcedure, const QString& AMessage) {
    if (OnDebug)
      OnDebug(this, AProcedure, AMessage);
  };
  const QString version = RunningVersion ? RunningVersion() : QStringLiteral("0.0.0.0");
  FWorker = std::make_unique<TAutoUpdateThread>(UpdateURL, ApplicationName, version, std::move(callbacks), AutoUpdate,
                                                ProxyChoice(), CertificateAuthorityFile);
}

void TAutoUpdate::Cancel()
{
  FCancel = true;
  // Also ends a transfer that has stalled and so sends no progress.
  if (FBusy && FWorker)
    FWorker->RequestStop();
}

void TAutoUpdate::Log(const QString& AMessage)
{
  if (OnLog)
    OnLog(this, AMessage);
}

void TAutoUpdate::UpdateEnd(QObject*, bool ASuccess, const QString& AMessage, const QString& AFileName,
                            const QString& AParameters)
{
  FBusy = false;
  if (OnUpdateEnd)
    OnUpdateEnd(this, ASuccess, AMessage, AFileName, AParameters);
  if (!ASuccess) {
    if (!IsBlank(AMessage))
      Log(QStringLiteral("ERROR: ") + AMessage);
    return;
  }
  bool execute = true;
  if (OnUpdateExecute)
    OnUpdateExecute(this, execute, AFileName, AParameters);
  if (!execute)
    return;
  if (!FileExists(AFileName)) {
    Log(QStringLiteral("File not found: \"%1\"").arg(AFileName));
    return;
  }
  const int result = StartUpdateFile(AFileName, AParameters, GetApplicationFolder());
  if (result <= 32) {
    Log(QStringLiteral("Error executing file,  \"%1\", Error Code: %2").arg(AFileName).arg(result));
    return;
  }
  if (OnTerminate)
    OnTerminate();
}

void TAutoUpdate::RetireWorker()
{
  if (!FWorker)
    return;
  // The previous worker has made its last call; it may still be returning from it.
  if (FWorker->isFinished()) {
    FWorker.reset();
    return;
  }
  TAutoUpdateThread* worker = FWorker.release();
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
}
