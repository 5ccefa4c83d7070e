// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TDesktopSessionControl.h"

#include "platform/linux/TLogindSessionControl.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QLoggingCategory>

#include <limits>

Q_LOGGING_CATEGORY(lcSessionManager, "corvale.session.manager", QtWarningMsg)

namespace {

const QString GnomeService = QStringLiteral("org.gnome.SessionManager");
const QString GnomePath = QStringLiteral("/org/gnome/SessionManager");
const QString GnomeInterface = QStringLiteral("org.gnome.SessionManager");
// The shell's dialog that lists the programs holding up the end of the session.
const QString GnomeDialogPath = QStringLiteral("/org/gnome/SessionManager/EndSessionDialog");
const QString GnomeDialogInterface = QStringLiteral("org.gnome.SessionManager.EndSessionDialog");
// gnome-session's Logout modes: 0 asks the user first, 1 does not, 2 forces.
const uint GnomeLogoutNoConfirmation = 1;

// Plasma's session server, and the helper it starts on demand to end the session.
const QString KsmService = QStringLiteral("org.kde.ksmserver");
const QString KsmPath = QStringLiteral("/KSMServer");
const QString KsmInterface = QStringLiteral("org.kde.KSMServerInterface");
const QString KdeShutdownService = QStringLiteral("org.kde.Shutdown");
const QString KdeShutdownPath = QStringLiteral("/Shutdown");
const QString KdeShutdownInterface = QStringLiteral("org.kde.Shutdown");

const QString XfceService = QStringLiteral("org.xfce.SessionManager");
const QString XfcePath = QStringLiteral("/org/xfce/SessionManager");
const QString XfceInterface = QStringLiteral("org.xfce.Session.Manager");

const QString ScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ScreenSaverInterface = QStringLiteral("org.freedesktop.ScreenSaver");

// The requests that answer at once (all but GNOME's shut down and restart) get this long.
const int RequestTimeOutMs = 10000;
// D-Bus reads the largest time-out as "no time-out": gnome-session answers a shut down only when
// every program has been asked, which may include a question to the user.
const int NoTimeOut = std::numeric_limits<int>::max();

} // namespace

std::unique_ptr<TSessionControl> CreateSessionControl()
{
  return std::make_unique<TDesktopSessionControl>(std::make_unique<TLogindSessionControl>());
}

TDesktopSessionControl::TDesktopSessionControl(std::unique_ptr<TSessionControl> AFallback)
  : FFallback(std::move(AFallback))
{}

TDesktopSessionControl::TDesktopSessionControl(const QDBusConnection& ASessionBus,
                                               std::unique_ptr<TSessionControl> AFallback)
  : FBus(ASessionBus)
  , FFallback(std::move(AFallback))
{}

TDesktopSessionControl::~TDesktopSessionControl() = default;

QDBusConnection& TDesktopSessionControl::Bus()
{
  if (!FBus)
    FBus = QDBusConnection::sessionBus();
  return *FBus;
}

void TDesktopSessionControl::Fail(const QString& AError)
{
  FLastError = AError;
  qCWarning(lcSessionManager).noquote() << AError;
}

TDesktopSessionControl::TSessionManager TDesktopSessionControl::SessionManager()
{
  QDBusConnectionInterface* bus = Bus().isConnected() ? Bus().interface() : nullptr;
  if (!bus)
    return smNone;
  auto owned = [bus](const QString& AName) {
    const QDBusReply<bool> reply = bus->isServiceRegistered(AName);
    return reply.isValid() && reply.value();
  };
  if (owned(GnomeService))
    return smGnome;
  // org.kde.Shutdown is started on demand, so Plasma is known by its session server.
  if (owned(KsmService) || owned(KdeShutdownService))
    return smKde;
  if (owned(XfceService))
    return smXfce;
  return smNone;
}

QDBusMessage TDesktopSessionControl::Request(TSessionManager AManager, TExitKind AKind)
{
  QDBusMessage request;
  switch (AManager) {
  case smGnome: {
    static const QString methods[] = {QStringLiteral("Logout"), QStringLiteral("Reboot"), QStringLiteral("Shutdown")};
    request = QDBusMessage::createMethodCall(GnomeService, GnomePath, GnomeInterface, methods[AKind]);
    if (AKind == ekLogOff)
      request << GnomeLogoutNoConfirmation;
    break;
  }
  case smKde: {
    static const QString methods[] = {QStringLiteral("logout"), QStringLiteral("logoutAndReboot"),
                                      QStringLiteral("logoutAndShutdown")};
    request = QDBusMessage::createMethodCall(KdeShutdownService, KdeShutdownPath, KdeShutdownInterface, methods[AKind]);
    break;
  }
  case smXfce: {
    static const QString methods[] = {QStringLiteral("Logout"), QStringLiteral("Restart"), QStringLiteral("Shutdown")};
    request = QDBusMessage::createMethodCall(XfceService, XfcePath, XfceInterface, methods[AKind]);
    // No dialog of its own (the count-down was ours); the programs may save.
    if (AKind == ekLogOff)
      request << false;
    request << true;
    break;
  }
  case smNone:
    break;
  }
  return request;
}

bool TDesktopSessionControl::NobodyAnswered(const QString& AErrorName)
{
  static const QStringList names = {
      QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
      QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
      QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
      QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
      QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
      QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
      QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
      QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
      QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
      QStringLiteral("org.freedesktop.DBus.Error.Spawn.ChildExited"),
      QStringLiteral("org.freedesktop.DBus.Error.Spawn.ExecFailed"),
  };
  return names.contains(AErrorName);
}

bool TDesktopSessionControl::MayExit(TExitKind AKind)
{
  // Every session manager ends with logind's power-off or reboot, so logind's answer holds.
  const bool may = FFallback->MayExit(AKind);
  if (!may)
    FLastError = FFallback->LastError();
  return may;
}

bool TDesktopSessionControl::ExitThroughFallback(TExitKind AKind)
{
  const bool done = FFallback->Exit(AKind);
  if (!done)
    FLastError = FFallback->LastError();
  return done;
}

void TDesktopSessionControl::WatchForCancellation()
{
  if (FWatching)
    return;
  FWatching = true;
  QDBusConnection& bus = Bus();
  bus.connect(XfceService, XfcePath, XfceInterface, QStringLiteral("ShutdownCancelled"), this,
              SLOT(XfceShutdownCancelled()));
  // From whichever shell shows the dialog; the request under way decides whether it matters.
  bus.connect(QString(), GnomeDialogPath, GnomeDialogInterface, QStringLiteral("Canceled"), this,
              SLOT(GnomeDialogCanceled()));
  // Plasma's helper quits when its logout ends, cancelled or not.
  FKdeHelperWatcher =
      new QDBusServiceWatcher(KdeShutdownService, bus, QDBusServiceWatcher::WatchForUnregistration, this);
  connect(FKdeHelperWatcher, &QDBusServiceWatcher::serviceUnregistered, this, &TDesktopSessionControl::KdeHelperGone);
}

bool TDesktopSessionControl::Exit(TExitKind AKind)
{
  if (AKind != ekLogOff && AKind != ekReboot && AKind != ekPowerOff) {
    Fail(QStringLiteral("Unknown exit kind ") + QString::number(AKind));
    return false;
  }
  const TSessionManager manager = SessionManager();
  if (manager == smNone)
    return ExitThroughFallback(AKind);
  WatchForCancellation();
  const QDBusMessage request = Request(manager, AKind);

  if (manager == smGnome && AKind != ekLogOff) {
    // gnome-session answers once every program has been asked: nothing when the session ends,
    // an error when it was cancelled. This program is among those asked, so the window thread
    // must not wait for the answer.
    FPending = AKind;
    auto* watcher = new QDBusPendingCallWatcher(Bus().asyncCall(request, NoTimeOut), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, AKind](QDBusPendingCallWatcher* AWatcher) { GnomeReplied(AWatcher, AKind); });
    return true;
  }

  const QDBusMessage reply = Bus().call(request, QDBus::Block, RequestTimeOutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    if (NobodyAnswered(reply.errorName())) {
      qCInfo(lcSessionManager).noquote() << request.member()
                                         << "not taken, logind ends the session:" << reply.errorName();
      return ExitThroughFallback(AKind);
    }
    Fail(request.service() + QLatin1Char(' ') + request.member() + QStringLiteral(" refused: ") + reply.errorName() +
         QStringLiteral(": ") + reply.errorMessage());
    return false;
  }
  FPending = AKind;
  return true;
}

void TDesktopSessionControl::GnomeReplied(QDBusPendingCallWatcher* AWatcher, TExitKind AKind)
{
  AWatcher->deleteLater();
  if (!AWatcher->isError() || FPending != AKind)
    return;
  const QDBusError error = AWatcher->error();
  if (NobodyAnswered(error.name())) {
    qCInfo(lcSessionManager).noquote() << "gnome-session did not take the request, logind ends the session:"
                                       << error.name();
    FPending.reset();
    if (!ExitThroughFallback(AKind) && OnExitRefused)
      OnExitRefused(AKind, FLastError);
    return;
  }
  Refused(QStringLiteral("gnome-session: ") + error.name() + QStringLiteral(": ") + error.message());
}

void TDesktopSessionControl::KdeHelperGone()
{
  if (!FPending)
    return;
  // The helper quits both when the logout was cancelled and when it is complete; the session
  // server tells which.
  const QDBusMessage ask =
      QDBusMessage::createMethodCall(KsmService, KsmPath, KsmInterface, QStringLiteral("isShuttingDown"));
  auto* watcher = new QDBusPendingCallWatcher(Bus().asyncCall(ask, RequestTimeOutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* AWatcher) {
    AWatcher->deleteLater();
    const QDBusPendingReply<bool> reply = *AWatcher;
    // No answer: the session server is gone with the session.
    if (reply.isValid() && !reply.value())
      Refused(QStringLiteral("Plasma cancelled the logout"));
  });
}

void TDesktopSessionControl::XfceShutdownCancelled()
{
  Refused(QStringLiteral("xfce4-session cancelled the shutdown"));
}

void TDesktopSessionControl::GnomeDialogCanceled()
{
  Refused(QStringLiteral("The end of the session was cancelled in the shell's dialog"));
}

void TDesktopSessionControl::Refused(const QString& AWhy)
{
  if (!FPending)
    return;
  const TExitKind kind = *FPending;
  FPending.reset();
  Fail(AWhy);
  if (OnExitRefused)
    OnExitRefused(kind, AWhy);
}

bool TDesktopSessionControl::Lock()
{
  // The desktop's screen locker first: it locks at once and in its own style. Plasma and Xfce
  // serve it at both paths, some lockers at one only.
  QDBusConnectionInterface* bus = Bus().isConnected() ? Bus().interface() : nullptr;
  const QDBusReply<bool> registered =
      bus ? bus->isServiceRegistered(ScreenSaverService) : QDBusReply<bool>(QDBusMessage());
  if (registered.isValid() && registered.value()) {
    for (const QString& path : {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver")}) {
      const QDBusMessage reply = Bus().call(
          QDBusMessage::createMethodCall(ScreenSaverService, path, ScreenSaverInterface, QStringLiteral("Lock")),
          QDBus::Block, RequestTimeOutMs);
      if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
      qCInfo(lcSessionManager).noquote() << "ScreenSaver Lock at" << path << "failed:" << reply.errorName();
    }
  }
  const bool locked = FFallback->Lock();
  if (!locked)
    FLastError = FFallback->LastError();
  return locked;
}

std::unique_ptr<TInhibitLock> TDesktopSessionControl::InhibitSleep(const QString& AWhy)
{
  auto lock = FFallback->InhibitSleep(AWhy);
  if (!lock)
    FLastError = FFallback->LastError();
  return lock;
}
