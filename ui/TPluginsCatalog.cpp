// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TPluginsCatalog.h"

#include "sysinfo/Common.h"

TPluginsCatalog::TPluginsCatalog(const QString& AFolder)
{
  FPlugins.SetPluginFolder(AFolder.isEmpty() ? GetApplicationFolder() + QStringLiteral("plugins/") : AFolder);
}

void TPluginsCatalog::SetActive(bool AValue)
{
  FPlugins.SetActive(AValue);
}

QList<TPluginRow> TPluginsCatalog::Rows() const
{
  // The collection does not load plug-in libraries yet, so it never holds one to list.
  return {};
}

void TPluginsCatalog::Configure(const QString& APluginName, const QString& AProfileName)
{
  // No plug-in is ever loaded, so there is none to configure.
  Q_UNUSED(APluginName)
  Q_UNUSED(AProfileName)
}
