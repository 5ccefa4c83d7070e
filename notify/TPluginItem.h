// SPDX-License-Identifier: GPL-3.0-or-later
// One loaded plug-in library: its identity and the entry points it exports.
#pragma once

#define CORVALE_PLUGIN_NO_DECLARATIONS
#include "notify/corvale-plugin.h"

#include <QString>

class TPluginItem
{
public:
  // Takes over AHandle (from dlopen) and releases it when destroyed.
  TPluginItem(void* AHandle, const QString& AFilename);
  ~TPluginItem();
  TPluginItem(const TPluginItem&) = delete;
  TPluginItem& operator=(const TPluginItem&) = delete;

  void* PluginHandle() const { return FPluginHandle; }
  const QString& Filename() const { return FFilename; }
  const QString& PluginName() const { return FPluginName; }
  void SetPluginName(const QString& AValue) { FPluginName = AValue; }
  const QString& PluginVersion() const { return FPluginVersion; }
  void SetPluginVersion(const QString& AValue) { FPluginVersion = AValue; }
  const QString& PluginDeveloper() const { return FPluginDeveloper; }
  void SetPluginDeveloper(const QString& AValue) { FPluginDeveloper = AValue; }

  // The optional exports; null when the library has none of that name.
  TCorvaleShowConfig ShowConfig = nullptr;
  TCorvaleBackupBegin BackupBegin = nullptr;
  TCorvaleBackupProgress BackupProgress = nullptr;
  TCorvaleBackupEnd BackupEnd = nullptr;
  TCorvaleBackupFileList BackupFileList = nullptr;

private:
  void* FPluginHandle;
  QString FFilename;
  QString FPluginName;
  QString FPluginVersion;
  QString FPluginDeveloper;
};
