// SPDX-License-Identifier: GPL-3.0-or-later
// The error of the plug-in collection, and of a plug-in's call that failed.
#pragma once

#include "platform/ECorvaleError.h"

class EPluginError : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};
