// SPDX-License-Identifier: GPL-3.0-or-later
// An e-mail's addresses, subject and body, whose texts may carry keywords replaced at sending.
#pragma once

#include <QString>

struct TEmailTemplate
{
  // Several addresses in one string, separated by commas (or semicolons).
  QString Recipients;
  QString SenderAddress;
  QString SenderName;
  QString Subject;
  // The whole body, lines separated by CR LF.
  QString Body;

  bool operator==(const TEmailTemplate&) const = default;
};
