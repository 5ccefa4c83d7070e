// SPDX-License-Identifier: GPL-3.0-or-later
// One running program per user: the first start listens for commands, a later start sends one.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

// What a later start of the program or corvale-cli asks of the running program.
enum class TInstanceCommand : int {
  Show = 1,    // open the main window, or the progress window while a backup runs
  Hide = 2,    // hide to the tray
  Exit = 3,    // quit, or cancel a running backup
  Options = 4, // the options behind the password
  Reload = 5   // the stored options and profiles changed: read them again
};

enum class TInstanceStart {
  Started,        // no other instance runs: this one holds the lock and listens
  AlreadyRunning, // another instance holds the lock
  Failed          // the lock or the socket could not be made or checked; see ErrorString
};

class TSingleInstance : public QObject
{
  Q_OBJECT

public:
  // AFolder holds the lock file and the socket; it is created private to the user when missing.
  explicit TSingleInstance(const QString& AFolder = DefaultFolder(), QObject* AParent = nullptr);
  ~TSingleInstance() override;

  // Takes the lock and listens for commands. A lock or socket left behind by a crashed run is
  // cleaned up. Failed when the rule cannot be kept: a second instance would write its own copy
  // of the profiles back at exit, so the caller must not run on.
  [[nodiscard]] TInstanceStart Start();
  // Why Start failed.
  QString ErrorString() const { return FErrorString; }

  // Sends ACommand to the running instance and waits until it has been handled, at most
  // ATimeOutMs; false when no instance answered in time.
  [[nodiscard]] bool Send(TInstanceCommand ACommand, int ATimeOutMs = 10000);

  // Called on the user-interface thread for every command received; unknown numbers are dropped.
  // A client that sends anything but numbered lines, or a line longer than a command, is cut
  // off; so is one that sends no command for ClientTimeOutMs.
  std::function<void(TInstanceCommand ACommand)> OnCommand;
  int ClientTimeOutMs = 10000;

  QString LockFileName() const;
  QString SocketName() const;

  // The user's runtime folder (XDG_RUNTIME_DIR) + "Corvale".
  static QString DefaultFolder();
  // Whether an instance holds the lock in AFolder now, asked without taking the lock.
  static bool IsRunning(const QString& AFolder = DefaultFolder());

private:
  void Accept();

  QString FFolder;
  QString FErrorString;
  std::unique_ptr<QLockFile> FLock;
  QLocalServer* FServer = nullptr;
};
