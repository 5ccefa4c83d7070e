// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TDesktopIntegration.h"

#include "app/Pictures.h"
#include "platform/TDesktopNotifications.h"
#include "sysinfo/Common.h"

#include <QAction>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QWidget>

#include <utility>

namespace {

constexpr int BalloonsKept = 20;

TNotificationUrgency Urgency(TBalloonType AType)
{
  switch (AType) {
  case btError:
    return TNotificationUrgency::Critical;
  case btNone:
    return TNotificationUrgency::Low;
  default:
    return TNotificationUrgency::Normal;
  }
}

// "&&" shows a literal "&" in a menu.
QString MenuText(const QString& AName)
{
  return QString(AName).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TDesktopIntegration::TDesktopIntegration(TDesktopNotifications* ANotifications, QWidget* AWindow)
  : QObject(AWindow)
  , FNotifications(ANotifications)
  , FWindow(AWindow)
{
  setObjectName(QStringLiteral("DesktopIntegration"));
  for (int index = 0; index < TrayIconCount; ++index)
    FTrayIcons.append(TrayIconPicture(index));
  TrayIcon = new QSystemTrayIcon(this);
  TrayIcon->setIcon(FTrayIcons.value(0));
  FTrayIconIndex = 0;
  connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason AReason) {
    // Panels that speak StatusNotifierItem report a plain click only, never a double click.
    if (AReason == QSystemTrayIcon::DoubleClick || AReason == QSystemTrayIcon::Trigger)
      emit ShowRequested();
  });
  connect(TrayIcon, &QSystemTrayIcon::messageClicked, this, &TDesktopIntegration::BalloonClicked);
  FTrayRetry.setInterval(5000);
  connect(&FTrayRetry, &QTimer::timeout, this, &TDesktopIntegration::ShowTrayIcon);
  if (FNotifications) {
    FNotifications->OnDefaultAction = [this](unsigned AId) { NotificationClicked(AId); };
    // A notification closed unclicked takes its handler with it.
    FNotifications->OnClosed = [this](unsigned AId) { FNotificationClicks.erase(AId); };
  }
}

TDesktopIntegration::~TDesktopIntegration()
{
  if (FNotifications) {
    FNotifications->OnDefaultAction = nullptr;
    FNotifications->OnClosed = nullptr;
  }
}

void TDesktopIntegration::CreateMenu(QAction* AShow, QAction* ACustomBackup, QAction* AOptions, QAction* AAbout,
                                     QAction* AExit)
{
  FCustomBackup = ACustomBackup;
  PopupMenuTrayIcon = new QMenu(FWindow);
  PopupMenuTrayIcon->setObjectName(QStringLiteral("PopupMenuTrayIcon"));
  PopupMenuTrayIcon->addAction(AShow);
  PopupMenuTrayIcon->setDefaultAction(AShow);
  mnuBackup =
      PopupMenuTrayIcon->addMenu(FWindow->style()->standardIcon(QStyle::SP_DriveHDIcon), QStringLiteral("Backup"));
  mnuBackup->setObjectName(QStringLiteral("mnuBackup"));
  // Made once: clear() takes the actions of a menu, not the submenus made by addMenu.
  mnuEditProfile = new QMenu(QStringLiteral("Edit Profile"), mnuBackup);
  mnuEditProfile->setObjectName(QStringLiteral("mnuEditProfile"));
  // Owned here: clearing the Backup menu deletes the actions it owns.
  mnuNewProfile = new QAction(QStringLiteral("New Profile..."), this);
  mnuNewProfile->setObjectName(QStringLiteral("mnuNewProfile"));
  connect(mnuNewProfile, &QAction::triggered, this, &TDesktopIntegration::NewProfileRequested);
  PopupMenuTrayIcon->addSeparator();
  PopupMenuTrayIcon->addAction(AOptions);
  PopupMenuTrayIcon->addAction(AAbout);
  PopupMenuTrayIcon->addSeparator();
  PopupMenuTrayIcon->addAction(AExit);
  connect(PopupMenuTrayIcon, &QMenu::aboutToShow, this, &TDesktopIntegration::MenuAboutToShow);
  TrayIcon->setContextMenu(PopupMenuTrayIcon);
}

void TDesktopIntegration::AttachMenu(const QList<QWidget*>& AWidgets)
{
  for (QWidget* widget : AWidgets) {
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(widget, &QWidget::customContextMenuRequested, this,
            [this, widget](const QPoint& APosition) { PopupMenuTrayIcon->popup(widget->mapToGlobal(APosition)); });
  }
}

void TDesktopIntegration::FillBackupMenu(const QStringList& AProfileNames, bool AIdle)
{
  mnuBackup->clear();
  mnuEditProfile->clear();
  mnuBackup->addAction(FCustomBackup);
  for (const QString& name : AProfileNames) {
    // The name itself travels with the entry, so every name is reachable.
    auto* entry = new QAction(mnuBackup->icon(), MenuText(name), mnuBackup);
    entry->setEnabled(AIdle);
    connect(entry, &QAction::triggered, this, [this, name] { emit QuickBackupRequested(name); });
    mnuBackup->addAction(entry);
    QAction* edit = mnuEditProfile->addAction(MenuText(name) + QStringLiteral("..."));
    connect(edit, &QAction::triggered, this, [this, name] { emit EditProfileRequested(name); });
  }
  mnuBackup->addSeparator();
  mnuBackup->addMenu(mnuEditProfile);
  mnuEditProfile->setEnabled(AIdle && !AProfileNames.isEmpty());
  mnuBackup->addAction(mnuNewProfile);
  mnuNewProfile->setEnabled(AIdle);
}

void TDesktopIntegration::ShowTrayIcon()
{
  const bool available = TrayAvailable ? TrayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
  if (available) {
    FTrayRetry.stop();
    TrayIcon->show();
  } else if (!FTrayRetry.isActive()) {
    FTrayRetry.start();
  }
}

void TDesktopIntegration::HideTrayIcon()
{
  FTrayRetry.stop();
  TrayIcon->hide();
}

bool TDesktopIntegration::TrayUsable() const
{
  const bool available = TrayAvailable ? TrayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
  return available && TrayIcon->isVisible();
}

void TDesktopIntegration::SetTrayIcon(int AIndex, const QString& AHint)
{
  if (AIndex != FTrayIconIndex && AIndex >= 0 && AIndex < FTrayIcons.size()) {
    TrayIcon->setIcon(FTrayIcons.at(AIndex));
    FTrayIconIndex = AIndex;
  }
  // Set only when it changes: a desktop's tray is sent every change, and a run reports its
  // total many times a second.
  if (!AHint.isEmpty() && AHint != TrayIcon->toolTip())
    TrayIcon->setToolTip(AHint);
}

QString TDesktopIntegration::TrayIconHint() const
{
  return TrayIcon->toolTip();
}

int TDesktopIntegration::ProgressIconIndex(int AProgress)
{
  if (AProgress <= 10)
    return tiProgressFirst;
  return qMin(int(tiProgressLast), (AProgress - 1) / 10 + tiProgressFirst);
}

void TDesktopIntegration::ShowRunProgress(int AProgress)
{
  SetTrayIcon(ProgressIconIndex(AProgress),
              ApplicationTitle() + QStringLiteral(" - Progress: ") + QString::number(AProgress) + QStringLiteral("%"));
}

void TDesktopIntegration::ShowAlerts(int ACount, std::function<void()> AOnClick)
{
  SetTrayIcon(tiAlerts, ApplicationTitle() + QStringLiteral(" - Backup Alerts: ") + QString::number(ACount));
  ShowBalloon(QStringLiteral("You have %1 Backup Alerts pending, click here for more details.").arg(ACount), btWarning,
              30000, std::move(AOnClick), QStringLiteral("Backup Alerts"));
}

void TDesktopIntegration::ShowBalloon(const QString& AText, TBalloonType AType, int ATime,
                                      std::function<void()> AOnClick, const QString& AKind)
{
  FBalloons.append({ApplicationTitle(), AText, AType, ATime});
  while (FBalloons.size() > BalloonsKept)
    FBalloons.removeFirst();
  if (FNotifications) {
    // The desktop's notifications carry every balloon, tray or not: only they answer a click
    // everywhere, carry the program's icon and replace one of their kind.
    const unsigned id = FNotifications->Show({ApplicationTitle(), AText, Urgency(AType), ATime, AKind});
    if (id != 0) {
      if (AOnClick)
        FNotificationClicks[id] = AOnClick;
      else
        FNotificationClicks.erase(id);
    }
  } else if (TrayUsable()) {
    static const QSystemTrayIcon::MessageIcon icons[] = {QSystemTrayIcon::NoIcon, QSystemTrayIcon::Critical,
                                                         QSystemTrayIcon::Information, QSystemTrayIcon::Warning};
    TrayIcon->showMessage(ApplicationTitle(), AText,
                          AType >= btNone && AType <= btWarning ? icons[AType] : QSystemTrayIcon::NoIcon, ATime);
  }
  FBalloonClick = std::move(AOnClick);
}

void TDesktopIntegration::WithdrawNotifications()
{
  FNotificationClicks.clear();
  if (FNotifications)
    FNotifications->CloseAll();
}

void TDesktopIntegration::BalloonClicked()
{
  if (FBalloonClick) {
    const std::function<void()> handler = FBalloonClick;
    handler();
  }
}

void TDesktopIntegration::NotificationClicked(unsigned AId)
{
  const auto found = FNotificationClicks.find(AId);
  if (found == FNotificationClicks.end())
    return;
  const std::function<void()> handler = std::move(found->second);
  FNotificationClicks.erase(found);
  handler();
}
