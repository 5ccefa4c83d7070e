// SPDX-License-Identifier: GPL-3.0-or-later
#include "notify/TKeywordEmail.h"

#include "notify/EKeywordEmailError.h"
#include "platform/FileNames.h"
#include "sysinfo/TClock.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QUuid>

#include <cstdlib>
#include <mutex>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The host of a new e-mail; the owner always sets the real one. ".invalid" never resolves.
const QString DefaultHostname = QStringLiteral("smtp.invalid");
constexpr int ImplicitTlsPort = 465;

QString& TrustedCertificates()
{
  static QString file;
  return file;
}

TLoopbackCheck& LoopbackCheck()
{
  static TLoopbackCheck check;
  return check;
}

void InitCurl()
{
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Header values are one line: control characters (a keyword's value may hold line breaks)
// become blanks, so that no text can add headers of its own.
QString HeaderText(const QString& AText)
{
  QString text = AText;
  for (QChar& c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F)
      c = QLatin1Char(' ');
  }
  return text;
}

bool IsPlainAscii(const QString& AText)
{
  for (const QChar c : AText) {
    if (c.unicode() < 0x20 || c.unicode() > 0x7E)
      return false;
  }
  return true;
}

// Encoded words (base64, UTF-8) of at most 75 characters each, folded onto continuation lines;
// a character's bytes never span two words.
QString EncodeWords(const QString& AText)
{
  const QByteArray bytes = AText.toUtf8();
  QStringList words;
  constexpr int maxChunk = 45; // 60 base64 characters
  int start = 0;
  while (start < bytes.size()) {
    int end = std::min<int>(start + maxChunk, int(bytes.size()));
    while (end < bytes.size() && end > start && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80)
      --end;
    words.append(QStringLiteral("=?UTF-8?B?") + QString::fromLatin1(bytes.mid(start, end - start).toBase64()) +
                 QStringLiteral("?="));
    start = end;
  }
  return words.join(QStringLiteral("\r\n "));
}

// Text for a header that carries free text (the subject).
QString EncodeHeaderText(const QString& AText)
{
  const QString text = HeaderText(AText);
  if (IsPlainAscii(text) && text.size() <= 900)
    return text;
  return EncodeWords(text);
}

// A display name followed by an address, as in From and To.
QString Mailbox(const QString& AName, const QString& AAddress)
{
  const QString name = HeaderText(AName).trimmed();
  const QString address = QLatin1Char('<') + HeaderText(AAddress).trimmed() + QLatin1Char('>');
  if (name.isEmpty())
    return address;
  if (IsPlainAscii(name) && name.size() <= 200) {
    QString quoted = name;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + quoted + QStringLiteral("\" ") + address;
  }
  return EncodeWords(name) + QLatin1Char(' ') + address;
}

struct TRecipient
{
  QString Name;
  QString Address;
};

// "a@example.org, Bob <b@example.org>; c@example.org"
QList<TRecipient> ParseRecipients(const QString& AText)
{
  QList<TRecipient> result;
  QString text = AText;
  text.replace(QLatin1Char(';'), QLatin1Char(','));
  const QStringList entries = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
  for (const QString& raw : entries) {
    const QString entry = HeaderText(raw).trimmed();
    if (entry.isEmpty())
      continue;
    const qsizetype open = entry.lastIndexOf(QLatin1Char('<'));
    const qsizetype close = entry.lastIndexOf(QLatin1Char('>'));
    TRecipient recipient;
    if (open >= 0 && close > open) {
      recipient.Address = entry.mid(open + 1, close - open - 1).trimmed();
      recipient.Name = entry.left(open).trimmed();
      if (recipient.Name.size() >= 2 && recipient.Name.startsWith(QLatin1Char('"')) &&
          recipient.Name.endsWith(QLatin1Char('"')))
        recipient.Name = recipient.Name.mid(1, recipient.Name.size() - 2);
    } else {
      recipient.Address = entry;
    }
    if (!recipient.Address.isEmpty())
      result.append(recipient);
  }
  return result;
}

// Host names reach the URL as they are; anything that could change its meaning is refused.
bool IsValidHost(const QString& AHost)
{
  if (AHost.isEmpty())
    return false;
  for (const QChar c : AHost) {
    if (!(c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_') ||
          c == QLatin1Char(':')))
      return false;
  }
  return true;
}

struct TCurlFree
{
  void operator()(CURL* ACurl) const { curl_easy_cleanup(ACurl); }
  void operator()(curl_mime* AMime) const { curl_mime_free(AMime); }
  void operator()(curl_slist* AList) const { curl_slist_free_all(AList); }
};

// Keeps the last line the server sent.
int CurlTrace(CURL*, curl_infotype AType, char* AData, size_t ASize, void* AUser)
{
  if (AType != CURLINFO_HEADER_IN)
    return 0;
  const QString text = QString::fromUtf8(AData, qsizetype(ASize)).trimmed();
  if (!text.isEmpty())
    *static_cast<QString*>(AUser) = text.section(QLatin1Char('\n'), -1).trimmed();
  return 0;
}

// "Thu, 10 Dec 2026 04:00:00 +0100"
QString DateHeader(const QDateTime& AMoment)
{
  const int offset = AMoment.offsetFromUtc() / 60;
  return QLocale::c().toString(AMoment, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) +
         QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
}

QByteArray Utf8(const QString& AText)
{
  return AText.toUtf8();
}

} // namespace

TKeywordEmail::TKeywordEmail()
{
  FServer.Hostname = DefaultHostname;
  FServer.Port = 25;
}

TKeywordEmail::~TKeywordEmail() = default;

TEmailKeywordItem* TKeywordEmail::Add()
{
  FKeywords.push_back(std::make_unique<TEmailKeywordItem>());
  return FKeywords.back().get();
}

QString TKeywordEmail::ReplaceKeywords(const QString& AText) const
{
  QString text = AText;
  for (const auto& item : FKeywords) {
    if (!item->Keyword().isEmpty())
      text.replace(item->Keyword(), item->Value(), Qt::CaseInsensitive);
  }
  return text;
}

void TKeywordEmail::SetTrustedCertificates(const QString& AFileName)
{
  TrustedCertificates() = AFileName;
}

void TKeywordEmail::SetLoopbackCheck(TLoopbackCheck ACheck)
{
  LoopbackCheck() = std::move(ACheck);
}

bool TKeywordEmail::IsLoopbackHost(const QString& AHost)
{
  // Literal names only: what a name resolves to can change between this check and the connection.
  if (AHost.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
    return true;
  const QByteArray host = AHost.toLatin1();
  in_addr address4{};
  if (inet_pton(AF_INET, host.constData(), &address4) == 1)
    return (ntohl(address4.s_addr) >> 24) == 127;
  in6_addr address6{};
  return inet_pton(AF_INET6, host.constData(), &address6) == 1 && IN6_IS_ADDR_LOOPBACK(&address6);
}

bool TKeywordEmail::Send()
{
  FLastError.clear();
  FLastReply.clear();
  if (OnGetKeywords)
    OnGetKeywords(*this);

  // Keywords reach the subject, the sender's name, the body and the attachment names; the
  // addresses are never changed by them.
  const QString subject = ReplaceKeywords(FMessage.Subject);
  const QString senderName = ReplaceKeywords(FMessage.SenderName);
  // Every line of the body ends in CR LF, the last one too.
  QString body = FMessage.Body;
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (!body.isEmpty()) {
    if (body.endsWith(QLatin1Char('\n')))
      body.chop(1);
    body.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    body += QStringLiteral("\r\n");
  }
  body = ReplaceKeywords(body);
  const QStringList attachments =
      ReplaceKeywords(FAttachments.join(QStringLiteral("\r\n"))).split(QRegularExpression(QStringLiteral("\r?\n")));

  auto fail = [this](const QString& AMessage) {
    FLastError = AMessage;
    throw EKeywordEmailError(AMessage);
  };

  const QList<TRecipient> recipients = ParseRecipients(FMessage.Recipients);
  if (recipients.isEmpty())
    fail(QStringLiteral("E-mail not sent: no recipient address."));

  const QString host = FServer.Hostname.trimmed();
  const int port = FServer.Port & 0xFFFF;
  if (!IsValidHost(host)) {
    FLastError = QStringLiteral("Invalid SMTP host name \"%1\".").arg(host);
    return false;
  }

  InitCurl();
  std::unique_ptr<CURL, TCurlFree> curl(curl_easy_init());
  std::unique_ptr<curl_mime, TCurlFree> mime(curl_mime_init(curl.get()));
  if (!curl || !mime)
    fail(QStringLiteral("E-mail not sent: out of memory."));

  // The message: the body as UTF-8 text, then one part per attachment, read at sending.
  curl_mimepart* text = curl_mime_addpart(mime.get());
  const QByteArray bodyBytes = Utf8(body);
  curl_mime_data(text, bodyBytes.constData(), size_t(bodyBytes.size()));
  curl_mime_type(text, "text/plain; charset=UTF-8");
  curl_mime_encoder(text, "quoted-printable");
  for (const QString& line : attachments) {
    if (line.trimmed().isEmpty())
      continue;
    const QByteArray path = EncodeFileName(line);
    struct stat info
    {};
    if (stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) || access(path.constData(), R_OK) != 0)
      fail(QStringLiteral("E-mail not sent: cannot read the attachment \"%1\".").arg(line));
    curl_mimepart* part = curl_mime_addpart(mime.get());
    curl_mime_filedata(part, path.constData());
    curl_mime_filename(part, Utf8(QFileInfo(line).fileName()).constData());
    curl_mime_type(part, "application/octet-stream");
    curl_mime_encoder(part, "base64");
  }

  QStringList to;
  std::unique_ptr<curl_slist, TCurlFree> rcpt;
  for (const TRecipient& recipient : recipients) {
    to.append(Mailbox(recipient.Name, recipient.Address));
    const QByteArray address = Utf8(QLatin1Char('<') + recipient.Address + QLatin1Char('>'));
    rcpt.reset(curl_slist_append(rcpt.release(), address.constData()));
  }
  const QString domain = FMessage.SenderAddress.section(QLatin1Char('@'), 1).trimmed();
  const QStringList headerLines = {
      QStringLiteral("Date: ") + DateHeader(TClock::CurrentDateTime()),
      QStringLiteral("From: ") + Mailbox(senderName, FMessage.SenderAddress),
      QStringLiteral("To: ") + to.join(QStringLiteral(",\r\n ")),
      QStringLiteral("Subject: ") + EncodeHeaderText(subject),
      QStringLiteral("Message-ID: <") + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('@') +
          (domain.isEmpty() || !IsPlainAscii(domain) ? QStringLiteral("localhost") : HeaderText(domain)) +
          QLatin1Char('>')};
  std::unique_ptr<curl_slist, TCurlFree> headers;
  for (const QString& line : headerLines)
    headers.reset(curl_slist_append(headers.release(), Utf8(line).constData()));

  // The transport. A login or a secure connection goes only over TLS, unless the server is on
  // this machine.
  const bool implicitTls = port == ImplicitTlsPort;
  const bool login = FServer.Authentication;
  const TLoopbackCheck& check = LoopbackCheck();
  const bool loopback = check ? check(host) : IsLoopbackHost(host);
  const bool requireTls = (login || FServer.Secure) && !loopback;
  // "localhost" is connected to at the address that was exempted, whatever a resolver says.
  std::unique_ptr<curl_slist, TCurlFree> resolve;
  if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
    resolve.reset(curl_slist_append(nullptr, Utf8(host + QStringLiteral(":%1:127.0.0.1").arg(port)).constData()));
  const QString urlHost = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
  const QByteArray url = Utf8((implicitTls ? QStringLiteral("smtps://") : QStringLiteral("smtp://")) + urlHost +
                              QLatin1Char(':') + QString::number(port));
  const QByteArray from = Utf8(QLatin1Char('<') + HeaderText(FMessage.SenderAddress).trimmed() + QLatin1Char('>'));
  const QByteArray user = Utf8(FServer.Username);
  const QByteArray password = Utf8(FServer.Password);
  const QByteArray certificates = EncodeFileName(TrustedCertificates());
  char errorText[CURL_ERROR_SIZE] = {};

  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.constData());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
  curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, 60L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!certificates.isEmpty())
    curl_easy_setopt(c, CURLOPT_CAINFO, certificates.constData()); // the system's folder stays in use
  if (!implicitTls)
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(requireTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
  if (resolve)
    curl_easy_setopt(c, CURLOPT_RESOLVE, resolve.get());
  if (login) {
    curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(c, CURLOPT_LOGIN_OPTIONS, FServer.Secure ? "AUTH=*" : "AUTH=LOGIN");
  }
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, CurlTrace);
  curl_easy_setopt(c, CURLOPT_DEBUGDATA, &FLastReply);
  curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);

  const CURLcode code = curl_easy_perform(c);
  if (code == CURLE_OK)
    return true;

  QString detail = QString::fromUtf8(errorText).trimmed();
  if (detail.isEmpty())
    detail = QString::fromUtf8(curl_easy_strerror(code));
  curl_off_t connectTime = 0;
  curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connectTime);
  if (connectTime <= 0 && (code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT ||
                           code == CURLE_OPERATION_TIMEDOUT || code == CURLE_COULDNT_RESOLVE_PROXY)) {
    FLastError = QStringLiteral("Cannot connect to the SMTP server %1:%2: %3").arg(host).arg(port).arg(detail);
    return false;
  }
  if (code == CURLE_USE_SSL_FAILED)
    fail(QStringLiteral("E-mail not sent: the SMTP server %1 offers no TLS, and %2")
             .arg(host, login ? QStringLiteral("the login is never sent in clear.")
                              : QStringLiteral("a secure connection was asked for.")));
  QString message = QStringLiteral("E-mail not sent through %1:%2: %3").arg(host).arg(port).arg(detail);
  if (!FLastReply.isEmpty() && !message.contains(FLastReply))
    message += QStringLiteral(" (server: ") + FLastReply + QLatin1Char(')');
  fail(message);
  return false;
}
