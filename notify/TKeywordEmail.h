// SPDX-License-Identifier: GPL-3.0-or-later
// A one-shot e-mail whose subject, sender name, body and attachment names carry keywords that
// are replaced at sending. It goes out over SMTP through libcurl: STARTTLS whenever the server
// offers it, implicit TLS on port 465, certificates verified against the system's store, and a
// login or a secure connection never without TLS except to a server on this machine.
#pragma once

#include "notify/TEmailKeywordItem.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TKeywordEmail;

// Called at the start of Send so that the owner can fill or refresh the keywords.
using TOnGetKeywords = std::function<void(TKeywordEmail& ASender)>;
// True when a host name or address leads only to this machine.
using TLoopbackCheck = std::function<bool(const QString& AHost)>;

class TKeywordEmail
{
public:
  TKeywordEmail();
  ~TKeywordEmail();
  TKeywordEmail(const TKeywordEmail&) = delete;
  TKeywordEmail& operator=(const TKeywordEmail&) = delete;

  // The keywords in replacement order.
  TEmailKeywordItem* Add();
  TEmailKeywordItem* GetKeyword(int AIndex) const { return FKeywords.at(std::size_t(AIndex)).get(); }
  int Count() const { return int(FKeywords.size()); }
  void Clear() { FKeywords.clear(); }

  // All recipient addresses in one string, separated by commas (or semicolons).
  const QString& Recipients() const { return FRecipients; }
  void SetRecipients(const QString& AValue) { FRecipients = AValue; }
  const QString& SenderAddress() const { return FSenderAddress; }
  void SetSenderAddress(const QString& AValue) { FSenderAddress = AValue; }
  const QString& SenderName() const { return FSenderName; }
  void SetSenderName(const QString& AValue) { FSenderName = AValue; }
  const QString& Subject() const { return FSubject; }
  void SetSubject(const QString& AValue) { FSubject = AValue; }
  QStringList& Body() { return FBody; }
  // One file path per line; the files are read when the message is sent.
  QStringList& Attachments() { return FAttachments; }
  const QString& SMTPHostname() const { return FSMTPHostname; }
  void SetSMTPHostname(const QString& AValue) { FSMTPHostname = AValue; }
  // Only the low 16 bits are used.
  int SMTPPort() const { return FSMTPPort; }
  void SetSMTPPort(int AValue) { FSMTPPort = AValue; }
  bool SMTPAuthentication() const { return FSMTPAuthentication; }
  void SetSMTPAuthentication(bool AValue) { FSMTPAuthentication = AValue; }
  // TLS is required (STARTTLS or implicit) unless the server is on this machine; with
  // SMTPAuthentication, client and server also agree on the strongest SASL mechanism both
  // know, instead of the LOGIN exchange.
  bool SMTPSecure() const { return FSMTPSecure; }
  void SetSMTPSecure(bool AValue) { FSMTPSecure = AValue; }
  const QString& SMTPUserName() const { return FSMTPUserName; }
  void SetSMTPUserName(const QString& AValue) { FSMTPUserName = AValue; }
  const QString& SMTPPassword() const { return FSMTPPassword; }
  void SetSMTPPassword(const QString& AValue) { FSMTPPassword = AValue; }
  TOnGetKeywords OnGetKeywords;

  // Replaces the keywords and sends the message. True when the server took it, false when no
  // connection could be made; raises EKeywordEmailError for any failure once connected (and for
  // a message that cannot be built). LastError and LastReply say what happened either way.
  [[nodiscard]] bool Send();
  const QString& LastError() const { return FLastError; }
  // The server's last answer, for example "250 2.0.0 Ok: queued".
  const QString& LastReply() const { return FLastReply; }

  // Replaces every keyword in AText, in list order, without regard to letter case.
  QString ReplaceKeywords(const QString& AText) const;

  // For tests: a certificate file trusted in addition to the system's store, and the check that
  // tells a server on this machine from a remote one. Empty values restore the defaults.
  static void SetTrustedCertificates(const QString& AFileName);
  static void SetLoopbackCheck(TLoopbackCheck ACheck);
  // True for the literal names of this machine only: "localhost", 127.0.0.0/8 and ::1. Nothing
  // is resolved.
  static bool IsLoopbackHost(const QString& AHost);

private:
  std::vector<std::unique_ptr<TEmailKeywordItem>> FKeywords;
  QString FRecipients;
  QString FSenderAddress;
  QString FSenderName;
  QString FSubject;
  QStringList FBody;
  QStringList FAttachments;
  QString FSMTPHostname;
  int FSMTPPort = 25;
  bool FSMTPAuthentication = false;
  bool FSMTPSecure = false;
  QString FSMTPUserName;
  QString FSMTPPassword;
  QString FLastError;
  QString FLastReply;
};
