// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/ProfileEmail.h"

#include "notify/EKeywordEmailError.h"
#include "notify/TKeywordEmail.h"
#include "platform/Posix.h"
#include "platform/SystemIdentity.h"
#include "profiles/TBackupProfile.h"
#include "sysinfo/Common.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"

#include <cmath>

namespace {

void AddKeyword(TKeywordEmail& AEmail, const QString& AKeyword, const QString& AValue)
{
  TEmailKeywordItem* item = AEmail.Add();
  item->SetKeyword(AKeyword);
  item->SetValue(AValue);
}

// The whole log, each line ending in CR LF; the file name and " does not exists." without it.
QString LogText(const QString& AFileName)
{
  QByteArray bytes;
  if (AFileName.isEmpty() || Posix::ReadFile(AFileName, bytes) != 0)
    return AFileName + QStringLiteral(" does not exists.\r\n");
  QString text = QString::fromUtf8(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QStringList lines = text.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.constLast().isEmpty())
    lines.removeLast();
  QString result;
  for (const QString& line : std::as_const(lines))
    result += line + QStringLiteral("\r\n");
  return result;
}

} // namespace

void FillProfileKeywords(TKeywordEmail& AEmail, const TBackupProfile& AProfile)
{
  AEmail.Clear();
  QString address = CollapseSpaces(LocalIPAddress(), true, false);
  if (IsBlank(address))
    address = QStringLiteral("127.0.0.1");
  // Whole days between now and the due moment, either side of it.
  const TDateTime due = AProfile.LastBackup() + AProfile.AlertDays();
  const qint64 days = std::llround(std::fabs(TClock::Now() - due) * MSecsPerDay) / qint64(MSecsPerDay);

  AddKeyword(AEmail, QStringLiteral("%computername%"), ComputerName());
  AddKeyword(AEmail, QStringLiteral("%username%"), LoginName());
  AddKeyword(AEmail, QStringLiteral("%ipaddress%"), address);
  AddKeyword(AEmail, QStringLiteral("%profilename%"), AProfile.ProfileName());
  AddKeyword(AEmail, QStringLiteral("%lastbackup%"), DateToStr(AProfile.LastBackup()));
  AddKeyword(AEmail, QStringLiteral("%daysoverdue%"), QString::number(days));
  AddKeyword(AEmail, QStringLiteral("%zipfile%"), AProfile.ZipFile());
  AddKeyword(AEmail, QStringLiteral("%logfile%"), AProfile.LogFile());
  AddKeyword(AEmail, QStringLiteral("%description%"), AProfile.Description());
  // Last, so that keyword-like text inside the log stays as it is.
  AddKeyword(AEmail, QStringLiteral("%log%"), LogText(AProfile.LogFile()));
}

void PrepareProfileEmail(TKeywordEmail& AEmail, const TBackupProfile& AProfile, const TEmailTemplate& ATemplate,
                         const TSmtpServer& AProgramServer, bool AAttachLog)
{
  FillProfileKeywords(AEmail, AProfile);
  AEmail.Message() = ATemplate;
  AEmail.Attachments().clear();
  if (AAttachLog)
    AEmail.Attachments().append(AProfile.LogFile());

  AEmail.Server() = AProfile.CustomSMTPSettings() ? AProfile.SMTPSettings() : AProgramServer;
}

bool SendProfileEmail(const TBackupProfile& AProfile, TProfileEmailKind AKind, const TSmtpServer& AProgramServer,
                      const std::function<void(const QString&)>& AOnError, TKeywordEmail* AEmail)
{
  TKeywordEmail own;
  TKeywordEmail& email = AEmail ? *AEmail : own;
  try {
    PrepareProfileEmail(email, AProfile, AKind == pekLog ? AProfile.LogEmailDetails() : AProfile.AlertEmailDetails(),
                        AProgramServer, AKind == pekLog);
    if (email.Send())
      return true;
    // Not even connected: said too, or a wrong host name would go unnoticed.
    if (AOnError)
      AOnError(email.LastError());
    return false;
  } catch (const EKeywordEmailError& e) {
    if (AOnError)
      AOnError(e.Message());
  } catch (const std::exception& e) {
    if (AOnError)
      AOnError(QString::fromStdString(e.what()));
  }
  return false;
}
