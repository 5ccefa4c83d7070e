// SPDX-License-Identifier: GPL-3.0-or-later
// The SMTP server an e-mail goes out through: a profile's own one or the program-wide one.
#pragma once

#include <QString>

class TBackupProfileSMTPSettings
{
public:
  // Copies all six fields; nullptr copies nothing.
  void Assign(const TBackupProfileSMTPSettings* ASource);

  const QString& SMTPHostname() const { return FSMTPHostname; }
  void SetSMTPHostname(const QString& AValue) { FSMTPHostname = AValue; }
  int SMTPPort() const { return FSMTPPort; }
  void SetSMTPPort(int AValue) { FSMTPPort = AValue; }
  bool SMTPAuthentication() const { return FSMTPAuthentication; }
  void SetSMTPAuthentication(bool AValue) { FSMTPAuthentication = AValue; }
  bool SMTPSecure() const { return FSMTPSecure; }
  void SetSMTPSecure(bool AValue) { FSMTPSecure = AValue; }
  const QString& Username() const { return FUsername; }
  void SetUsername(const QString& AValue) { FUsername = AValue; }
  const QString& Password() const { return FPassword; }
  void SetPassword(const QString& AValue) { FPassword = AValue; }

private:
  QString FSMTPHostname;
  int FSMTPPort = 0;
  bool FSMTPAuthentication = false;
  bool FSMTPSecure = false;
  QString FUsername;
  QString FPassword;
};
