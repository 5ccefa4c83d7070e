// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's own plug-in collection, separate from the one a run uses, in the program's
// "plugins" folder.
#pragma once

#include "notify/TPlugins.h"
#include "ui/TPluginCatalog.h"

class TPluginsCatalog : public TPluginCatalog
{
public:
  // AFolder with a trailing separator; the program's "plugins" folder when empty.
  explicit TPluginsCatalog(const QString& AFolder = QString());

  void SetActive(bool AValue) override;
  QList<TPluginRow> Rows() const override;
  void Configure(const QString& APluginName, const QString& AProfileName) override;

private:
  TPlugins FPlugins;
};
