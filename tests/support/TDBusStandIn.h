// SPDX-License-Identifier: GPL-3.0-or-later
// A python3-dbusmock object standing in for one desktop service on a private bus: it owns the
// service's name, answers the methods a test gives it, and logs every call it receives.
#pragma once

#include <QDBusConnection>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

class TDBusStandIn
{
public:
  struct TMethod
  {
    QString Name;
    QString InSignature;
    QString OutSignature;
    // Python run for each call: "ret = ..." answers, "raise dbus.exceptions.DBusException(...)" refuses.
    QString Code;
  };

  TDBusStandIn() = default;
  ~TDBusStandIn();
  TDBusStandIn(const TDBusStandIn&) = delete;
  TDBusStandIn& operator=(const TDBusStandIn&) = delete;

  // Why the stand-in cannot run here, or empty when it can.
  static QString Missing();
  // Starts the stand-in owning AService on ABus (whose address is AAddress), with the object APath
  // offering AMethods in AInterface; false with AError when it did not come up.
  [[nodiscard]] bool Start(const QString& AAddress, const QDBusConnection& ABus, const QString& AService,
                           const QString& APath, const QString& AInterface, const QList<TMethod>& AMethods,
                           QString& AError);
  // Ends the stand-in and waits until its name is free again.
  void Stop();
  bool Running() const { return FProcess.state() != QProcess::NotRunning; }

  // Adds or replaces a method of the main object; false with AError when the mock refused.
  [[nodiscard]] bool AddMethod(const TMethod& AMethod, QString* AError = nullptr);
  // Sends the signal AName of the main object's interface.
  [[nodiscard]] bool EmitSignal(const QString& AName, const QString& ASignature, const QVariantList& AArguments,
                                QString* AError = nullptr);

  // The method calls received since the last look, as "Method arg1 arg2", without time stamps.
  QStringList NewCalls();

private:
  bool CallMock(const QString& APath, const QString& AMethod, const QVariantList& AArguments, QString* AError);

  QTemporaryDir FFolder;
  QProcess FProcess;
  QDBusConnection FBus{QString()};
  QString FService;
  QString FPath;
  QString FInterface;
  QString FLog;
  qsizetype FSeen = 0;
};
