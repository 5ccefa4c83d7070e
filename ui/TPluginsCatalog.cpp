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
  QList<TPluginRow> rows;
  for (int i = 0; i < FPlugins.Count(); ++i) {
    const TPluginItem* item = FPlugins.GetItem(i);
    rows.append({item->PluginName(), item->PluginVersion(), item->PluginDeveloper()});
  }
  return rows;
}

void TPluginsCatalog::Configure(const QString& APluginName, const QString& AProfileName)
{
  FPlugins.Config(APluginName, AProfileName);
}
