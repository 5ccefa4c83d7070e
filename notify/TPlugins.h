// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-ins that join each profile's run. Loading plug-in libraries is not built yet: the
// collection checks its folder when activated and then holds no plug-ins, so every notification
// passes through unchanged.
#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

class EPluginError : public std::runtime_error
{
public:
  explicit EPluginError(const QString& AMessage)
    : std::runtime_error(AMessage.toStdString())
    , FMessage(AMessage)
  {}
  const QString& Message() const { return FMessage; }

private:
  QString FMessage;
};

class TPlugins
{
public:
  bool Active() const { return FActive; }
  // Activating checks (and creates) the plug-in folder; it raises EPluginError when no folder is
  // set or it cannot be made.
  void SetActive(bool AValue);
  const QString& PluginFolder() const { return FPluginFolder; }
  void SetPluginFolder(const QString& AValue) { FPluginFolder = AValue; }
  const QString& ProfileName() const { return FProfileName; }
  void SetProfileName(const QString& AValue) { FProfileName = AValue; }
  int Count() const { return 0; }

  void NotifyBackupStart() {}
  void NotifyBackupFileList(QStringList& /*AFileList*/) {}
  void NotifyBackupProgress(int /*AProgress*/, const QString& /*AMessage*/) {}
  void NotifyBackupEnd(int /*AStatus*/, const QStringList& /*AZipFiles*/, const QString& /*ALogFileName*/) {}

private:
  bool FActive = false;
  QString FPluginFolder;
  QString FProfileName;
};
