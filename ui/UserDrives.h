// SPDX-License-Identifier: GPL-3.0-or-later
// The places a user picks a folder from: the home folder and the mounted file systems that hold
// the user's data (the root, other disks, removable media, network shares), without the kernel's
// and the system's own mounts.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct TUserDrive
{
  QString Caption; // what the drive list shows
  QString Path;    // the mount point or folder, without a trailing separator (except "/")
};

// Whether a mount of this file-system type at this mount point is one a user would pick from.
bool IsUserMount(const QString& AMountPoint, const QByteArray& AFileSystemType);

// The home folder first, then the root, then the other user mounts sorted by mount point.
QList<TUserDrive> UserDrives();

// The drive of the list that holds APath (the longest mount point that is a prefix of it), or -1.
int DriveOfPath(const QList<TUserDrive>& ADrives, const QString& APath);
