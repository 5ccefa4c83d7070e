// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-ins as the profile editor lists them: loaded only while its "Plugins" page shows.
#pragma once

#include <QList>
#include <QString>

struct TPluginRow
{
  QString Name;
  QString Version;
  QString Developer;
};

class TPluginCatalog
{
public:
  virtual ~TPluginCatalog() = default;

  // Loads (true) or unloads the plug-ins; raises EPluginError when the plug-in folder cannot be used.
  virtual void SetActive(bool AValue) = 0;
  // The loaded plug-ins.
  virtual QList<TPluginRow> Rows() const = 0;
  // Lets the plug-in show its own settings for the named profile; raises EPluginError when the
  // plug-in fails.
  virtual void Configure(const QString& APluginName, const QString& AProfileName) = 0;
};
