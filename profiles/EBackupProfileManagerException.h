// SPDX-License-Identifier: GPL-3.0-or-later
// The error the profile component raises where it cannot do what it was asked.
#pragma once

#include "platform/ECorvaleError.h"

#include <QString>

#include <stdexcept>

class EBackupProfileManagerException : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};
