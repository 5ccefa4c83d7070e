// SPDX-License-Identifier: GPL-3.0-or-later
#include "notify/TPlugins.h"

#include "sysinfo/Common.h"

void TPlugins::SetActive(bool AValue)
{
  if (AValue) {
    if (FPluginFolder.isEmpty())
      throw EPluginError(QStringLiteral("No plugin folder has been specified."));
    if (!CheckDirectory(FPluginFolder, true))
      throw EPluginError(QStringLiteral("Failed to locate plugin folder \"%1\"").arg(FPluginFolder));
  }
  FActive = AValue;
}
