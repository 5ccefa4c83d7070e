// SPDX-License-Identifier: GPL-3.0-or-later
// A mail server and the login it takes: a profile's own one, the program-wide one from the
// options, or the one an e-mail goes out through.
#pragma once

#include <QString>

struct TSmtpServer
{
  QString Hostname;
  // Only the low 16 bits are used.
  int Port = 0;
  bool Authentication = false;
  // TLS is required (STARTTLS or implicit) unless the server is on this machine; with
  // Authentication, client and server also agree on the strongest SASL mechanism both know,
  // instead of the LOGIN exchange.
  bool Secure = false;
  QString Username;
  QString Password;

  bool operator==(const TSmtpServer&) const = default;
};
