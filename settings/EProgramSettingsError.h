// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ECorvaleError.h"

#include <QString>

#include <stdexcept>

// Raised by the settings store: an unregistered setting name, a failed change of store.
class EProgramSettingsError : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};
