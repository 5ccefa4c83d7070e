// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in libraries of the plug-in folder, loaded while the collection is active, and the
// notifications forwarded to them during a profile's run. Loading happens only on activation, so
// an editor may hold an inactive collection and load it when it needs the list.
#pragma once

#include "notify/EPluginError.h"
#include "notify/TPluginItem.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TPlugins
{
public:
  TPlugins();
  ~TPlugins();
  TPlugins(const TPlugins&) = delete;
  TPlugins& operator=(const TPlugins&) = delete;

  bool Active() const { return FActive; }
  // True (also when already true) loads the folder's plug-ins afresh; raises EPluginError when
  // no folder is set or it is missing and cannot be created. False unloads them.
  // Only what no one else can change is loaded: the folder and each "*.so" must belong to root
  // or this user and be writable by neither group nor others; hidden files and links are left
  // out. Each refusal is one OnLog line, and loading goes on without that file.
  void SetActive(bool AValue);
  const QString& PluginFolder() const { return FPluginFolder; }
  void SetPluginFolder(const QString& AValue) { FPluginFolder = AValue; }
  const QString& ProfileName() const { return FProfileName; }
  void SetProfileName(const QString& AValue) { FProfileName = AValue; }

  // Loads the plug-ins again when active; otherwise nothing.
  void Refresh();

  // Each does nothing while inactive. An error raised by a plug-in's call (a C++ exception that
  // leaves it) reaches the caller as EPluginError with the exception's message.
  void NotifyBackupStart();
  // Each plug-in sees the list as the plug-ins before it left it.
  void NotifyBackupFileList(QStringList& AFileList);
  void NotifyBackupProgress(int AProgress, const QString& AMessage);
  void NotifyBackupEnd(int AStatus, const QStringList& AZipFiles, const QString& ALogFileName);
  // Shows the configuration of the plug-in named APluginName for AProfileName (or ProfileName).
  void Config(const QString& APluginName, const QString& AProfileName);
  void Config(const QString& APluginName);

  int Count() const { return static_cast<int>(FItems.size()); }
  TPluginItem* GetItem(int AIndex) const { return FItems.at(static_cast<std::size_t>(AIndex)).get(); }
  // Appends an item that takes over AHandle.
  TPluginItem* Add(void* AHandle, const QString& AFilename);
  // The position of the first plug-in named AName, letter case ignored; -1 when there is none.
  int IndexByName(const QString& AName) const;
  // The first plug-in named AName; raises EPluginError when there is none.
  TPluginItem* GetPluginByName(const QString& AName) const;
  // The names of the loaded plug-ins in load order.
  QStringList Names() const;

  // A line for the log: why a plug-in (or the folder) was not loaded.
  std::function<void(const QString& ALine)> OnLog;

private:
  void Unload();
  void LoadPlugins(const QString& AFolder);
  void LoadPlugin(int AFolder, const QByteArray& AName, const QString& AFileName);
  void Refuse(const QString& AFileName, const QString& AReason);
  // The plug-in that answers for the one at AIndex: the first of the same name.
  TPluginItem* Receiver(int AIndex) const;

  bool FActive = false;
  QString FPluginFolder;
  QString FProfileName;
  std::vector<std::unique_ptr<TPluginItem>> FItems;
};
