// SPDX-License-Identifier: GPL-3.0-or-later
// One running program per user: the first start listens for commands, a later start sends one.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

class TSingleInstance : public QObject
{
  Q_OBJECT

public:
  // AFolder holds the lock file and the socket; it is created private to the user when missing.
  explicit TSingleInstance(const QString& AFolder = DefaultFolder(), QObject* AParent = nullptr);
  ~TSingleInstance() override;

  // True when no other instance runs: this one then holds the lock and listens for commands.
  // A lock or socket left behind by a crashed run is cleaned up. When the folder cannot be
  // used at all the program runs without the rule (true) rather than refusing to start.
  [[nodiscard]] bool Start();

  // Sends ACommand to the running instance and waits until it has been handled, at most
  // ATimeOutMs; false when no instance answered in time.
  [[nodiscard]] bool Send(int ACommand, int ATimeOutMs = 10000);

  // Called on the user-interface thread for every command received.
  std::function<void(int ACommand)> OnCommand;

  QString LockFileName() const;
  QString SocketName() const;

  // The user's runtime folder (XDG_RUNTIME_DIR) + "Corvale".
  static QString DefaultFolder();
  // Whether an instance holds the lock in AFolder now, asked without taking the lock.
  static bool IsRunning(const QString& AFolder = DefaultFolder());

private:
  void Accept();

  QString FFolder;
  std::unique_ptr<QLockFile> FLock;
  QLocalServer* FServer = nullptr;
};
