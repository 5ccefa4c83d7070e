// SPDX-License-Identifier: GPL-3.0-or-later
// The program on the desktop beside its window: the tray icon with its menu, and the balloons,
// shown by the desktop's notifications or, where none are offered, by the tray. What a click asks
// for is said through signals; a notification's click handler goes when the notification does.
#pragma once

#include "app/BalloonTypes.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;
class TDesktopNotifications;

class TDesktopIntegration : public QObject
{
  Q_OBJECT

public:
  // ANotifications (may be null) outlives this object; the menu belongs to AWindow.
  TDesktopIntegration(TDesktopNotifications* ANotifications, QWidget* AWindow);
  ~TDesktopIntegration() override;

  // Whether the desktop has a system tray; tests replace it.
  std::function<bool()> TrayAvailable;

  // The menu: AShow (bold, the default), the Backup submenu (ACustomBackup, then one entry per
  // profile, Edit Profile and New Profile), AOptions, AAbout and AExit.
  void CreateMenu(QAction* AShow, QAction* ACustomBackup, QAction* AOptions, QAction* AAbout, QAction* AExit);
  // The menu is also the context menu of these widgets.
  void AttachMenu(const QList<QWidget*>& AWidgets);
  // Rebuilds the Backup submenu's profile entries; AIdle enables them.
  void FillBackupMenu(const QStringList& AProfileNames, bool AIdle);

  // Shows the icon, or keeps looking for a tray that may appear after the program at login.
  void ShowTrayIcon();
  void HideTrayIcon();
  // A tray is there and the icon is on it.
  [[nodiscard]] bool TrayUsable() const;
  // AIndex -1 keeps the icon; an empty AHint keeps the hint.
  void SetTrayIcon(int AIndex, const QString& AHint);
  [[nodiscard]] int TrayIconIndex() const { return FTrayIconIndex; }
  [[nodiscard]] QString TrayIconHint() const;
  static int ProgressIconIndex(int AProgress);
  // The icon and hint of a run at AProgress per cent.
  void ShowRunProgress(int AProgress);
  // ACount profiles are overdue: the icon, the hint and a balloon whose click calls AOnClick.
  void ShowAlerts(int ACount, std::function<void()> AOnClick);

  struct TBalloon
  {
    QString Title;
    QString Text;
    TBalloonType Type;
    int Time;
  };
  // A balloon of a non-empty AKind replaces the one of that kind still shown.
  void ShowBalloon(const QString& AText, TBalloonType AType, int ATime, std::function<void()> AOnClick = {},
                   const QString& AKind = {});
  // Takes back the notifications still shown: at exit, nothing is left to answer their click.
  void WithdrawNotifications();
  // The most recent balloons, oldest first.
  [[nodiscard]] const QList<TBalloon>& Balloons() const { return FBalloons; }
  // A click on the tray's balloon: the handler given with the last balloon.
  void BalloonClicked();
  // The default action of desktop notification AId: the handler given with its balloon.
  void NotificationClicked(unsigned AId);
  // Desktop notifications whose click is still awaited.
  [[nodiscard]] int PendingNotificationClicks() const { return int(FNotificationClicks.size()); }

  QSystemTrayIcon* TrayIcon = nullptr;
  QMenu* PopupMenuTrayIcon = nullptr;
  QMenu* mnuBackup = nullptr;
  QMenu* mnuEditProfile = nullptr;
  QAction* mnuNewProfile = nullptr;

signals:
  // The menu is about to open: its entries are to be brought up to date.
  void MenuAboutToShow();
  // A click on the icon.
  void ShowRequested();
  void QuickBackupRequested(const QString& AProfileName);
  void EditProfileRequested(const QString& AProfileName);
  void NewProfileRequested();

private:
  TDesktopNotifications* FNotifications;
  QWidget* FWindow;
  QAction* FCustomBackup = nullptr;
  QList<QIcon> FTrayIcons;
  int FTrayIconIndex = -1;
  std::function<void()> FBalloonClick;
  std::map<unsigned, std::function<void()>> FNotificationClicks;
  QList<TBalloon> FBalloons;
  QTimer FTrayRetry;
};
