// SPDX-License-Identifier: GPL-3.0-or-later
// Ending the session through the desktop's session manager (GNOME, KDE Plasma, Xfce), so that the
// other programs are asked first and may save or refuse; systemd-logind where none answers.
#pragma once

#include "platform/TSessionControl.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

class TDesktopSessionControl : public QObject, public TSessionControl
{
  Q_OBJECT

public:
  enum TSessionManager : int { smNone = 0, smGnome = 1, smKde = 2, smXfce = 3 };

  // Asks the session manager on the session bus, connected at the first call. AFallback (logind)
  // answers the privilege question and the sleep inhibitor, and takes the exits and locks that no
  // session manager takes.
  explicit TDesktopSessionControl(std::unique_ptr<TSessionControl> AFallback);
  // The same on ASessionBus instead (a private bus in tests).
  TDesktopSessionControl(const QDBusConnection& ASessionBus, std::unique_ptr<TSessionControl> AFallback);
  ~TDesktopSessionControl() override;

  [[nodiscard]] bool MayExit(TExitKind AKind) override;
  // True when the session manager took the request (it then asks the running programs) or logind
  // carried it out; a refusal that comes later is reported through OnExitRefused.
  [[nodiscard]] bool Exit(TExitKind AKind) override;
  [[nodiscard]] bool Lock() override;
  [[nodiscard]] std::unique_ptr<TInhibitLock> InhibitSleep(const QString& AWhy) override;
  QString LastError() const override { return FLastError; }

  // The session manager that owns its name on the session bus now; smNone when none does.
  [[nodiscard]] TSessionManager SessionManager();

private slots:
  void XfceShutdownCancelled();
  void GnomeDialogCanceled();

private:
  QDBusConnection& Bus();
  // Connects the signals that tell of a cancelled end of session, once.
  void WatchForCancellation();
  // The request for AKind to AManager; an invalid message when the manager has no such request.
  static QDBusMessage Request(TSessionManager AManager, TExitKind AKind);
  // Whether AError means that nobody took the call, rather than that the session manager refused.
  static bool NobodyAnswered(const QString& AErrorName);
  bool ExitThroughFallback(TExitKind AKind);
  void GnomeReplied(QDBusPendingCallWatcher* AWatcher, TExitKind AKind);
  void KdeHelperGone();
  // Reports the request under way as refused, once.
  void Refused(const QString& AWhy);
  void Fail(const QString& AError);

  std::optional<QDBusConnection> FBus;
  std::unique_ptr<TSessionControl> FFallback;
  // The exit a session manager has taken and not yet carried out or refused.
  std::optional<TExitKind> FPending;
  bool FWatching = false;
  QDBusServiceWatcher* FKdeHelperWatcher = nullptr;
  QString FLastError;
};
