// SPDX-License-Identifier: GPL-3.0-or-later
// The proxy choice of the update check.
#pragma once

#include <QString>

// Positions are the program's own; the stored "SOCKSVersion" option is mapped (TAutoUpdate).
enum TSocksVersion : int { svNoSocks = 0, svSocks4 = 1, svSocks4A = 2, svSocks5 = 3 };
enum TProxyType : int { ptHTTP = 0, ptSocks = 1 };

struct TProxySettings
{
  bool Enabled = false;
  TProxyType Type = ptHTTP;
  QString Host;
  int Port = 0;
  bool Authentication = false;
  QString UserName;
  QString Password;
  TSocksVersion SocksVersion = svNoSocks;
};
