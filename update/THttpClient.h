// SPDX-License-Identifier: GPL-3.0-or-later
// A blocking HTTP(S) GET into a file, through the chosen proxy, with receive notifications.
// Certificates are verified; only http and https are followed, and never from https to http.
#pragma once

#include "update/UpdateTypes.h"

#include <QString>

#include <functional>

class THttpClient
{
public:
  THttpClient();
  ~THttpClient();
  THttpClient(const THttpClient&) = delete;
  THttpClient& operator=(const THttpClient&) = delete;

  void SetProxy(const TProxySettings& AProxy) { FProxy = AProxy; }
  // An extra certificate authority to trust (PEM); empty uses the system's store only.
  void SetCertificateAuthorityFile(const QString& AFileName) { FCAFile = AFileName; }
  // Larger bodies are refused, also while they arrive; 0 for no limit.
  void SetMaximumSize(qint64 ABytes) { FMaximumSize = ABytes; }

  // Why AProxy cannot be used (a SOCKS proxy without a version, a password for SOCKS 4, no
  // host), or empty when it can.
  static QString ProxyProblem(const TProxySettings& AProxy);
  // True for https and for an address without a scheme (fetched over https).
  static bool IsSecureUrl(const QString& AURL);

  // Receiving: the announced size (0 when none) before the first bytes, the running count after
  // each piece, and the end of the transfer. Called on the thread that runs Get.
  std::function<void(qint64 AMaximum)> OnWorkBegin;
  std::function<void(qint64 ACount)> OnWork;
  std::function<void()> OnWorkEnd;
  // Asked while the transfer runs; true aborts it (also when no data flows).
  std::function<bool()> OnCheckAbort;

  // GETs AURL into the open file descriptor AFd. False with AError when the transfer failed,
  // was cut short of its announced length or passed the maximum size; the status of the
  // response, if any, is in ResponseCode either way.
  [[nodiscard]] bool Get(const QString& AURL, int AFd, QString& AError);
  long ResponseCode() const { return FResponseCode; }
  // True once a proxy that offers only Basic authentication was given the password that way.
  bool UsedBasicProxyAuthentication() const { return FUsedBasic; }
  // From within OnWork: ends the transfer at once.
  void Disconnect() { FDisconnect = true; }

private:
  static size_t WriteData(char* AData, size_t ASize, size_t ACount, void* AClient);
  static int TransferInfo(void* AClient, long long, long long, long long, long long);

  void* FCurl = nullptr;
  TProxySettings FProxy;
  QString FCAFile;
  qint64 FMaximumSize = 0;
  int FFd = -1;
  qint64 FCount = 0;
  bool FBegun = false;
  bool FDisconnect = false;
  bool FWriteFailed = false;
  bool FTooLarge = false;
  bool FUsedBasic = false;
  long FResponseCode = 0;
};
