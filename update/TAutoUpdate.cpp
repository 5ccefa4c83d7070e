// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/TAutoUpdate.h"

#include "platform/FileSystem.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "sysinfo/TApplicationVersionInfo.h"
#include "update/EAutoUpdateError.h"
#include "update/THttpClient.h"
#include "update/TThreadTimer.h"
#include "update/UpdateLauncher.h"

#include <QCoreApplication>

namespace {

const QString NoSettings = QStringLiteral("Property ProgramSettings has not been assigned.");

} // namespace

TAutoUpdate::TAutoUpdate(QObject* AOwner)
  : QObject(AOwner)
  , UpdateURL(QString::fromLatin1(TApplicationOptions::Definitions()[int(TOptionId::AutomaticUpdateURL)].Text))
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
  const TProgramSettings& settings = *FProgramSettings;
  using O = TApplicationOptions;
  FEnabled = O::Boolean(settings, TOptionId::AutomaticUpdateEnabled);
  ApplicationName = O::Text(settings, TOptionId::AutomaticUpdateApplication);
  AutoUpdate = O::Boolean(settings, TOptionId::AutomaticUpdateAutomatic);
  UpdateURL = O::Text(settings, TOptionId::AutomaticUpdateURL);
  HTTPProxy = O::Boolean(settings, TOptionId::HTTPProxy);
  HTTPHost = O::Text(settings, TOptionId::HTTPHost);
  HTTPPort = O::Integer(settings, TOptionId::HTTPPort);
  HTTPAuthentication = O::Boolean(settings, TOptionId::HTTPAuthentication);
  HTTPUserName = O::Text(settings, TOptionId::HTTPUsername);
  HTTPPassword = O::Text(settings, TOptionId::HTTPPassword);
  SocksProxy = O::Boolean(settings, TOptionId::SOCKSProxy);
  SocksHost = O::Text(settings, TOptionId::SOCKSHost);
  SocksPort = O::Integer(settings, TOptionId::SOCKSPort);
  SocksVersion = SocksVersionFromOption(O::Integer(settings, TOptionId::SOCKSVersion));
  SocksAuthentication = O::Boolean(settings, TOptionId::SOCKSAuthentication);
  SocksUserName = O::Text(settings, TOptionId::SOCKSUsername);
  SocksPassword = O::Text(settings, TOptionId::SOCKSPassword);
  MonitorIntervalHours = O::Integer(settings, TOptionId::AutomaticUpdateInterval);
}

void TAutoUpdate::SaveSettings()
{
  if (!FProgramSettings)
    throw EAutoUpdateError(NoSettings);
  TProgramSettings& settings = *FProgramSettings;
  using O = TApplicationOptions;
  O::Set(settings, TOptionId::AutomaticUpdateEnabled, FEnabled);
  O::Set(settings, TOptionId::AutomaticUpdateApplication, ApplicationName);
  O::Set(settings, TOptionId::AutomaticUpdateAutomatic, AutoUpdate);
  O::Set(settings, TOptionId::AutomaticUpdateURL, UpdateURL);
  O::Set(settings, TOptionId::HTTPProxy, HTTPProxy);
  O::Set(settings, TOptionId::HTTPHost, HTTPHost);
  O::Set(settings, TOptionId::HTTPPort, HTTPPort);
  O::Set(settings, TOptionId::HTTPAuthentication, HTTPAuthentication);
  O::Set(settings, TOptionId::HTTPUsername, HTTPUserName);
  O::Set(settings, TOptionId::HTTPPassword, HTTPPassword);
  O::Set(settings, TOptionId::SOCKSProxy, SocksProxy);
  O::Set(settings, TOptionId::SOCKSHost, SocksHost);
  O::Set(settings, TOptionId::SOCKSPort, SocksPort);
  O::Set(settings, TOptionId::SOCKSVersion, SocksVersionToOption(SocksVersion));
  O::Set(settings, TOptionId::SOCKSAuthentication, SocksAuthentication);
  O::Set(settings, TOptionId::SOCKSUsername, SocksUserName);
  O::Set(settings, TOptionId::SOCKSPassword, SocksPassword);
  O::Set(settings, TOptionId::AutomaticUpdateInterval, MonitorIntervalHours);
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

bool TAutoUpdate::DescriptionVerified() const
{
  return THttpClient::IsSecureUrl(UpdateURL);
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
    if (!DescriptionVerified())
      Log(QStringLiteral("The update details were fetched over plain http: the download is not verified."));
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
  callbacks.OnLog = [this](QObject*, const QString& AMessage) { Log(AMessage); };
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
