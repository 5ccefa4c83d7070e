// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ECorvaleError.h"

// Raised by the automatic update when it is used without what it needs.
class EAutoUpdateError : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};
