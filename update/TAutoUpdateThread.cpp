// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/TAutoUpdateThread.h"

#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "sysinfo/Common.h"
#include "update/TApplicationVersionDetails.h"
#include "update/THttpClient.h"
#include "update/TUpdateDescription.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// An unchanged progress value is passed on at most this often.
constexpr qint64 ProgressRepeatMs = 16000;

void RemoveFile(const QString& AFileName)
{
  ::unlink(EncodeFileName(AFileName).constData());
}

} // namespace

TAutoUpdateThread::TAutoUpdateThread(const QString& AUpdateURL, const QString& AApplicationName,
                                     const QString& ACurrentVersion, TCallbacks ACallbacks, bool AAutoUpdate,
                                     const TProxySettings& AProxy, const QString& ACertificateAuthorityFile)
  : FCallbacks(std::move(ACallbacks))
  , FUpdateURL(AUpdateURL)
  , FApplicationName(AApplicationName)
  , FAutoUpdate(AAutoUpdate)
  , FProxy(AProxy)
  , FCertificateAuthorityFile(ACertificateAuthorityFile)
  , FCurrentVersion(ACurrentVersion)
{
  start();
}

TAutoUpdateThread::~TAutoUpdateThread()
{
  Detach();
  RequestStop();
  wait();
}

void TAutoUpdateThread::Detach()
{
  FLink.Close();
}

void TAutoUpdateThread::run()
{
  THttpClient http;
  FHttp = &http;
  http.SetProxy(FProxy);
  http.SetCertificateAuthorityFile(FCertificateAuthorityFile);
  http.OnWorkBegin = [this](qint64 AMaximum) {
    FWorkMax = AMaximum;
    Progress(QStringLiteral("Starting Download..."), 0);
  };
  http.OnWork = [this](qint64 ACount) { Work(ACount); };
  http.OnWorkEnd = [this] { Progress(QStringLiteral("Complete"), 100); };
  http.OnCheckAbort = [this] {
    if (!FStopRequested)
      return false;
    if (!FCancel) {
      FCancel = true;
      Progress(QStringLiteral("Cancelling..."), 100);
    }
    return true;
  };
  try {
    Check();
  } catch (const std::exception& AError) {
    FSuccess = false;
    FErrorMessage = QString::fromLocal8Bit(AError.what());
  } catch (...) {
    FSuccess = false;
  }
  FHttp = nullptr;
  if (!FSuccess)
    RemovePrivateFolder();
  Sync([this] {
    if (FCallbacks.OnUpdateEnd)
      FCallbacks.OnUpdateEnd(this, FSuccess, FErrorMessage, FUpdateFileName, FUpdateParams);
  });
}

void TAutoUpdateThread::Check()
{
  FWorkMax = 0;
  FCancel = false;
  FSuccess = false;
  Sync([this] {
    if (FCallbacks.OnUpdateBegin)
      FCallbacks.OnUpdateBegin(this);
  });
  Progress(QStringLiteral("Checking for updates , please wait..."), 0);
  if (FUpdateURL.isEmpty()) {
    FErrorMessage = QStringLiteral("No update URL specified.");
    return;
  }
  if (const QString problem = THttpClient::ProxyProblem(FProxy); !problem.isEmpty()) {
    FErrorMessage = problem;
    return;
  }
  if (!CreatePrivateFolder()) {
    FErrorMessage = QStringLiteral("Cannot create a private folder for the download in \"%1\".").arg(GetTempFolder());
    return;
  }

  const QString descriptionFile = TemporaryName(QStringLiteral("UPD"));
  TUpdateDescription description;
  const bool loaded = Download(FUpdateURL, descriptionFile, MaximumDescriptionSize);
  const bool found = loaded && description.Load(descriptionFile, FApplicationName);
  RemoveFile(descriptionFile);
  if (!loaded)
    return;
  if (!found) {
    FErrorMessage = QStringLiteral("Error loading \"%1\" update details.").arg(FApplicationName);
    return;
  }
  if (!TApplicationVersionDetails::ValidVersion(description.Version)) {
    FErrorMessage = QStringLiteral("The update details hold an invalid version: \"%1\".").arg(description.Version);
    return;
  }
  FUpdateParams = description.Params;
  FUpdateFileURL = description.URL;
  TApplicationVersionDetails offered;
  offered.SetVersion(description.Version);
  FNewVersion = offered.AsString();

  if (offered.IsCurrent(FCurrentVersion) || FCancel) {
    Progress(QStringLiteral("Already at latest version"), 100);
    Sync([this] {
      if (FCallbacks.OnUpdateNotRequired)
        FCallbacks.OnUpdateNotRequired(this, FApplicationName, FCurrentVersion);
    });
    return;
  }

  // Nothing from the description reaches the file system or a shell unchecked, and an update
  // that would be refused is not offered.
  QString fileName;
  if (!TUpdateDescription::InstallerFileName(FUpdateFileURL, fileName)) {
    FErrorMessage = QStringLiteral("The update's file name cannot be used: \"%1\".").arg(FUpdateFileURL);
    return;
  }
  if (!TUpdateDescription::ValidChecksum(description.SHA256)) {
    FErrorMessage = QStringLiteral("The update details hold an invalid SHA256 checksum.");
    return;
  }
  // Over plain http anyone on the way could swap the installer; only the checksum can tell.
  if (!THttpClient::IsSecureUrl(FUpdateFileURL) && description.SHA256.isEmpty()) {
    FErrorMessage =
        QStringLiteral("The update is not offered over https and its details give no SHA256 checksum: \"%1\".")
            .arg(FUpdateFileURL);
    return;
  }

  Progress(QStringLiteral("Update Available"), 100);
  FStart = false;
  Sync([this] {
    if (FCallbacks.OnUpdateAvailable)
      FCallbacks.OnUpdateAvailable(this, FApplicationName, FNewVersion, FCurrentVersion, FStart);
  });
  if (!FStart || FCancel) {
    Progress(QStringLiteral("Download cancelled."), 100);
    FErrorMessage = QStringLiteral("Download cancelled.");
    return;
  }

  Progress(QStringLiteral("Download initializing..."), 0);
  FWorkMax = 0;
  FUpdateFileName = FFolder + fileName;
  if (!Download(FUpdateFileURL, FUpdateFileName, MaximumInstallerSize)) {
    if (FCancel) {
      Progress(QStringLiteral("Download cancelled."), 100);
      FErrorMessage = QStringLiteral("Download cancelled.");
    } else {
      Progress(QStringLiteral("Download failed."), 100);
      FErrorMessage = QStringLiteral("Failed to download update") + FUpdateFileURL;
    }
    return;
  }
  if (description.SHA256.isEmpty()) {
    Sync([this] {
      if (FCallbacks.OnDebug)
        FCallbacks.OnDebug(this, QStringLiteral("Execute"),
                           QStringLiteral("The update details give no SHA256 checksum; the download is not checked."));
    });
  } else if (!ChecksumMatches(FUpdateFileName, description.SHA256)) {
    RemoveFile(FUpdateFileName);
    Progress(QStringLiteral("Download failed."), 100);
    FErrorMessage =
        QStringLiteral("The downloaded update does not match its SHA256 checksum: \"%1\".").arg(FUpdateFileURL);
    return;
  }
  Progress(QStringLiteral("Download complete."), 100);
  FErrorMessage.clear();
  FSuccess = true;
}

bool TAutoUpdateThread::Download(const QString& AURL, const QString& ATarget, qint64 AMaximumSize)
{
  FCancel = false;
  const QString partial = TemporaryName(QStringLiteral("QFS"));
  const int fd = ::open(EncodeFileName(partial).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  long status = 0;
  QString error;
  bool received = false;
  bool written = false;
  if (fd >= 0) {
    FHttp->SetMaximumSize(AMaximumSize);
    const bool usedBasic = FHttp->UsedBasicProxyAuthentication();
    received = FHttp->Get(AURL, fd, error);
    if (!received && !error.isEmpty()) {
      Sync([this, &error] {
        if (FCallbacks.OnDebug)
          FCallbacks.OnDebug(this, QStringLiteral("Download"), error);
      });
    }
    if (!usedBasic && FHttp->UsedBasicProxyAuthentication()) {
      Sync([this] {
        if (FCallbacks.OnLog)
          FCallbacks.OnLog(this, QStringLiteral("The proxy accepts only Basic authentication: its password is sent "
                                                "unencrypted."));
      });
    }
    status = FHttp->ResponseCode();
    written = ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
  }
  // The transfer's own result counts as much as the status: a reset, a stall or a full disk
  // after "200" leaves a partial file that must never be started.
  if (!received || status != 200 || !written || FCancel) {
    Progress(QStringLiteral("Download Failed."), 100);
    if (FCancel)
      Progress(QStringLiteral("Download cancelled by user."), 100);
    RemoveFile(partial);
    return false;
  }
  Progress(QStringLiteral("Download Complete."), 100);
  // rename replaces the target in one step.
  if (::rename(EncodeFileName(partial).constData(), EncodeFileName(ATarget).constData()) != 0) {
    RemoveFile(partial);
    return false;
  }
  return true;
}

void TAutoUpdateThread::Work(qint64 ACount)
{
  if (FWorkMax <= 0) {
    Progress(QStringLiteral("Recieving..."), 0, true);
  } else {
    const qint64 percent = ACount * 100 / FWorkMax;
    Progress(QStringLiteral("%1% (%2 of %3 Bytes)").arg(percent).arg(ACount).arg(FWorkMax), static_cast<int>(percent),
             true);
  }
  if (FCancel || FStopRequested) {
    FCancel = true;
    Progress(QStringLiteral("Cancelling..."), 100);
    FHttp->Disconnect();
  }
}

void TAutoUpdateThread::Progress(const QString& AMessage, int AValue, bool AThin)
{
  if (AThin && AValue == FLastProgressValue && FLastProgressTime.isValid() &&
      FLastProgressTime.elapsed() < ProgressRepeatMs)
    return;
  FProgressMessage = AMessage;
  FProgressValue = AValue;
  Sync([this] {
    if (FCallbacks.OnUpdateProgress)
      FCallbacks.OnUpdateProgress(this, FProgressMessage, FProgressValue, FCancel);
  });
  FLastProgressValue = AValue;
  FLastProgressTime.start();
}

bool TAutoUpdateThread::CreatePrivateFolder()
{
  QByteArray pattern = EncodeFileName(GetTempFolder() + QStringLiteral("corvale-update-XXXXXX"));
  // mkdtemp makes the folder with mode 0700 under a name no one could have prepared.
  if (!::mkdtemp(pattern.data()))
    return false;
  FFolder = DecodeFileName(pattern) + QLatin1Char('/');
  return true;
}

QString TAutoUpdateThread::TemporaryName(const QString& APrefix) const
{
  for (;;) {
    const QString name = FFolder + APrefix + RandomString(5) + QStringLiteral(".tmp");
    if (FileAttributes(name) == 0)
      return name;
  }
}

bool TAutoUpdateThread::ChecksumMatches(const QString& AFileName, const QString& AExpected) const
{
  const int fd = ::open(EncodeFileName(AFileName).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&file))
    return false;
  return QString::fromLatin1(hash.result().toHex()) == AExpected.toLower();
}

void TAutoUpdateThread::RemovePrivateFolder()
{
  if (FFolder.isEmpty())
    return;
  const QByteArray folder = EncodeFileName(FFolder);
  if (DIR* dir = ::opendir(folder.constData())) {
    while (dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        ::unlink(QByteArray(folder + entry->d_name).constData());
    }
    ::closedir(dir);
  }
  ::rmdir(folder.constData());
}
