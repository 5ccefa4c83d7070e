// SPDX-License-Identifier: GPL-3.0-or-later
// Raised by TKeywordEmail::Send when the message cannot be delivered once the server is reached.
#pragma once

#include "platform/ECorvaleError.h"

class EKeywordEmailError : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};
