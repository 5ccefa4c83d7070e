// SPDX-License-Identifier: GPL-3.0-or-later
// A private dbus-daemon with python3-dbusmock's logind template on it: stands in for the system
// bus in tests, and its call log shows exactly what the program asked of logind.
#pragma once

#include "TPrivateBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStringList>

#include <optional>

class TLogindMock
{
public:
  static const QString Service;
  static const QString Path;
  static const QString Manager;

  TLogindMock() = default;
  ~TLogindMock();
  TLogindMock(const TLogindMock&) = delete;
  TLogindMock& operator=(const TLogindMock&) = delete;

  // Why the peers cannot run here (missing packages), or empty when they can.
  static QString MissingPeers();
  // Starts the daemon and the mock with one session ("c7") of this user that "auto" resolves to;
  // false with AError when something did not come up.
  [[nodiscard]] bool Start(QString& AError);
  void Stop();

  // The private bus's address and a connection to it.
  QString Address() const { return FPrivateBus.Address(); }
  QDBusConnection& Bus() { return *FBus; }
  // An address where no bus listens.
  QString DeadAddress() const { return FPrivateBus.DeadAddress(); }

  // The calls logged by the mock since the last look, without their time stamps.
  QStringList NewCalls();
  // Replaces (or adds) a method of logind's manager; false with AError when the mock refused.
  [[nodiscard]] bool SetManagerMethod(const QString& AName, const QString& AInSignature, const QString& AOutSignature,
                                      const QString& ACode, QString* AError = nullptr);
  // Gives the exit methods and the privilege questions the template's plain answers again.
  [[nodiscard]] bool Reset();
  // The inhibitors logind holds now, each as "what who why mode".
  QStringList Inhibitors();

private:
  QDBusMessage CallMock(const QString& APath, const QString& AMethod, const QVariantList& AArguments);

  TPrivateBus FPrivateBus;
  QProcess FMock;
  QString FCallLog;
  qsizetype FCallsSeen = 0;
  std::optional<QDBusConnection> FBus;
};
