// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TLauncherEntryProgress.h"

#include <QDBusMessage>

#include <algorithm>

std::unique_ptr<TTaskbarProgress> CreateTaskbarProgress(const QString& ADesktopFileName)
{
  return std::make_unique<TLauncherEntryProgress>(ADesktopFileName);
}

TLauncherEntryProgress::TLauncherEntryProgress(const QString& ADesktopFileName)
  : FDesktopFileName(ADesktopFileName)
{}

TLauncherEntryProgress::TLauncherEntryProgress(const QString& ADesktopFileName, const QDBusConnection& AConnection)
  : FDesktopFileName(ADesktopFileName)
  , FConnection(AConnection)
{}

QString TLauncherEntryProgress::ApplicationUri() const
{
  return QStringLiteral("application://") + FDesktopFileName;
}

void TLauncherEntryProgress::SetProgress(int AProgress)
{
  const int progress = std::clamp(AProgress, 0, 100);
  // Progress reports come many times a second; the dock needs only the changes.
  if (FVisible && progress == FLastProgress)
    return;
  FVisible = true;
  FLastProgress = progress;
  Update({{QStringLiteral("progress"), progress / 100.0}, {QStringLiteral("progress-visible"), true}});
}

void TLauncherEntryProgress::Clear()
{
  if (!FVisible)
    return;
  FVisible = false;
  FLastProgress = -1;
  Update({{QStringLiteral("progress-visible"), false}});
}

void TLauncherEntryProgress::Update(const QVariantMap& AProperties)
{
  if (!FConnection)
    FConnection = QDBusConnection::sessionBus();
  // Without a session bus there is no dock to tell.
  if (!FConnection->isConnected())
    return;
  QDBusMessage signal = QDBusMessage::createSignal(ObjectPath, Interface, QStringLiteral("Update"));
  signal << ApplicationUri() << AProperties;
  (void)FConnection->send(signal);
}
