// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/THttpClient.h"

#include <QUrl>

#include <cerrno>
#include <mutex>

#include <curl/curl.h>
#include <unistd.h>

namespace {

CURL* Handle(void* ACurl)
{
  return static_cast<CURL*>(ACurl);
}

QByteArray ProxyScheme(const TProxySettings& AProxy)
{
  if (AProxy.Type == ptHTTP)
    return "http://";
  switch (AProxy.SocksVersion) {
  case svSocks4:
    return "socks4://";
  case svSocks4A:
    return "socks4a://";
  case svSocks5:
    // The proxy resolves the host name, as it does for SOCKS 4A.
    return "socks5h://";
  case svNoSocks:
    break;
  }
  return QByteArray();
}

} // namespace

QString THttpClient::ProxyProblem(const TProxySettings& AProxy)
{
  if (!AProxy.Enabled)
    return QString();
  const bool socks4 = AProxy.SocksVersion == svSocks4 || AProxy.SocksVersion == svSocks4A;
  // SOCKS 4 carries a user name only: a password would silently not be used.
  if (ProxyScheme(AProxy).isEmpty() || AProxy.Host.trimmed().isEmpty() ||
      (AProxy.Type == ptSocks && socks4 && AProxy.Authentication && !AProxy.Password.isEmpty()))
    return QStringLiteral("The proxy settings are incomplete.");
  return QString();
}

bool THttpClient::IsSecureUrl(const QString& AURL)
{
  const QString scheme = QUrl(AURL.trimmed()).scheme();
  return scheme.isEmpty() || scheme.compare(QStringLiteral("https"), Qt::CaseInsensitive) == 0;
}

THttpClient::THttpClient()
{
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  FCurl = curl_easy_init();
}

THttpClient::~THttpClient()
{
  if (FCurl)
    curl_easy_cleanup(Handle(FCurl));
}

size_t THttpClient::WriteData(char* AData, size_t ASize, size_t ACount, void* AClient)
{
  auto* client = static_cast<THttpClient*>(AClient);
  const size_t bytes = ASize * ACount;
  if (!client->FBegun) {
    client->FBegun = true;
    curl_off_t length = -1;
    curl_easy_getinfo(Handle(client->FCurl), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (client->OnWorkBegin)
      client->OnWorkBegin(length > 0 ? length : 0);
  }
  // libcurl does not stop a running transfer at CURLOPT_MAXFILESIZE when no length was sent.
  if (client->FMaximumSize > 0 && client->FCount + static_cast<qint64>(bytes) > client->FMaximumSize) {
    client->FTooLarge = true;
    return 0;
  }
  size_t written = 0;
  while (written < bytes) {
    const ssize_t n = ::write(client->FFd, AData + written, bytes - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      client->FWriteFailed = true;
      return 0;
    }
    written += static_cast<size_t>(n);
  }
  client->FCount += static_cast<qint64>(bytes);
  if (client->OnWork)
    client->OnWork(client->FCount);
  return client->FDisconnect ? 0 : bytes;
}

int THttpClient::TransferInfo(void* AClient, long long, long long, long long, long long)
{
  auto* client = static_cast<THttpClient*>(AClient);
  if (!client->FDisconnect && client->OnCheckAbort && client->OnCheckAbort())
    client->FDisconnect = true;
  return client->FDisconnect ? 1 : 0;
}

bool THttpClient::Get(const QString& AURL, int AFd, QString& AError)
{
  FResponseCode = 0;
  FFd = AFd;
  FCount = 0;
  FBegun = false;
  FDisconnect = false;
  FWriteFailed = false;
  FTooLarge = false;
  if (!FCurl) {
    AError = QStringLiteral("The HTTP client cannot be created.");
    return false;
  }
  CURL* curl = Handle(FCurl);
  curl_easy_reset(curl);
  const QUrl url(AURL);
  const QByteArray address = url.toEncoded();
  const bool secure = IsSecureUrl(AURL);
  char error[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(curl, CURLOPT_URL, address.constData());
  curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "https");
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // A redirect never leaves https for plain http.
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
  // A transfer that stalls for two minutes is given up.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 120L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  const QByteArray caFile = FCAFile.toLocal8Bit();
  if (!FCAFile.isEmpty())
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
  if (FMaximumSize > 0)
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(FMaximumSize));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &THttpClient::WriteData);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &THttpClient::TransferInfo);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);

  QByteArray proxy;
  QByteArray userName;
  QByteArray password;
  bool proxyAuthentication = false;
  if (FProxy.Enabled) {
    const QString problem = ProxyProblem(FProxy);
    if (!problem.isEmpty()) {
      AError = problem;
      return false;
    }
    QUrl proxyUrl;
    proxyUrl.setHost(FProxy.Host.trimmed());
    proxy = ProxyScheme(FProxy) + proxyUrl.toEncoded().mid(2) + ':' + QByteArray::number(FProxy.Port);
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.constData());
    if (FProxy.Authentication) {
      userName = FProxy.UserName.toUtf8();
      password = FProxy.Password.toUtf8();
      curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, userName.constData());
      curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, password.constData());
      if (FProxy.Type == ptHTTP) {
        proxyAuthentication = true;
        // Never the password in clear while the proxy offers something better.
        curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(FUsedBasic ? CURLAUTH_BASIC : CURLAUTH_ANYSAFE));
      }
    }
  } else {
    // Only the proxy of the options is used, never one from the environment.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
  }

  CURLcode result = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &FResponseCode);
  if (proxyAuthentication && !FUsedBasic) {
    long connectCode = 0;
    long offered = 0;
    curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    curl_easy_getinfo(curl, CURLINFO_PROXYAUTH_AVAIL, &offered);
    // The proxy allows Basic only: the user chose this proxy, so it gets the password that way.
    if ((FResponseCode == 407 || connectCode == 407) && offered == static_cast<long>(CURLAUTH_BASIC) &&
        ::ftruncate(FFd, 0) == 0 && ::lseek(FFd, 0, SEEK_SET) == 0) {
      FUsedBasic = true;
      FCount = 0;
      FBegun = false;
      FResponseCode = 0;
      error[0] = 0;
      curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
      result = curl_easy_perform(curl);
      curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &FResponseCode);
    }
  }
  if (result == CURLE_OK && FResponseCode == 200) {
    // A body shorter than announced was cut off, whatever the status said.
    curl_off_t length = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length >= 0 && length != FCount) {
      AError = QStringLiteral("The transfer ended after %1 of %2 bytes.").arg(FCount).arg(length);
      return false;
    }
  }
  if (result == CURLE_OK && FBegun && OnWorkEnd)
    OnWorkEnd();
  if (result == CURLE_OK)
    return true;
  if (FTooLarge || result == CURLE_FILESIZE_EXCEEDED)
    AError = QStringLiteral("The download is larger than %1 bytes.").arg(FMaximumSize);
  else if (FWriteFailed)
    AError = QStringLiteral("The download cannot be written.");
  else
    AError = QString::fromUtf8(error[0] ? error : curl_easy_strerror(result));
  return false;
}
