// SPDX-License-Identifier: GPL-3.0-or-later
// One e-mail template of a profile (the alert e-mail or the log e-mail).
#pragma once

#include <QString>

class TBackupProfileEmailDetails
{
public:
  // Copies all five fields; nullptr copies nothing.
  void Assign(const TBackupProfileEmailDetails* ASource);

  // Several addresses in one string, as the SMTP message takes them.
  const QString& Recipients() const { return FRecipients; }
  void SetRecipients(const QString& AValue) { FRecipients = AValue; }
  const QString& SenderAddress() const { return FSenderAddress; }
  void SetSenderAddress(const QString& AValue) { FSenderAddress = AValue; }
  const QString& SenderName() const { return FSenderName; }
  void SetSenderName(const QString& AValue) { FSenderName = AValue; }
  const QString& Subject() const { return FSubject; }
  void SetSubject(const QString& AValue) { FSubject = AValue; }
  // The whole body, lines separated by CR LF.
  const QString& Body() const { return FBody; }
  void SetBody(const QString& AValue) { FBody = AValue; }

private:
  QString FRecipients;
  QString FSenderAddress;
  QString FSenderName;
  QString FSubject;
  QString FBody;
};
