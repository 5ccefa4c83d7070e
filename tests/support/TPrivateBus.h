// SPDX-License-Identifier: GPL-3.0-or-later
// A private dbus-daemon for one test: anyone may own any name on it, and it goes with the test.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class TPrivateBus
{
public:
  TPrivateBus() = default;
  ~TPrivateBus();
  TPrivateBus(const TPrivateBus&) = delete;
  TPrivateBus& operator=(const TPrivateBus&) = delete;

  // Why the daemon cannot run here, or empty when it can.
  static QString MissingDaemon();
  // Starts the daemon; false with AError when it did not come up.
  [[nodiscard]] bool Start(QString& AError);
  void Stop();

  QString Address() const { return FAddress; }
  // An address where no bus listens.
  QString DeadAddress() const;
  // A file name in the bus's own temporary folder.
  QString FilePath(const QString& AName) const { return FFolder.filePath(AName); }

private:
  QTemporaryDir FFolder;
  QProcess FDaemon;
  QString FAddress;
};
