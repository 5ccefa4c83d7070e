// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/UserDrives.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

namespace {

// Kernel interfaces, memory-backed and system-image file systems: nothing a user keeps data on.
bool IsPseudoFileSystem(const QByteArray& AType)
{
  static const QList<QByteArray> pseudo = {"proc",        "sysfs",      "devtmpfs", "devpts",      "tmpfs",
                                           "ramfs",       "cgroup",     "cgroup2",  "securityfs",  "pstore",
                                           "bpf",         "debugfs",    "tracefs",  "configfs",    "fusectl",
                                           "mqueue",      "hugetlbfs",  "autofs",   "binfmt_misc", "nsfs",
                                           "efivarfs",    "rpc_pipefs", "squashfs", "selinuxfs",   "fuse.gvfsd-fuse",
                                           "fuse.portal", "fuse.lxcfs", "overlay"};
  return pseudo.contains(AType);
}

bool IsUnder(const QString& APath, const QString& AFolder)
{
  return APath == AFolder || APath.startsWith(AFolder + QLatin1Char('/'));
}

} // namespace

bool IsUserMount(const QString& AMountPoint, const QByteArray& AFileSystemType)
{
  // The root is always offered: in a container it may well be an overlay.
  if (AMountPoint == QLatin1String("/"))
    return true;
  if (IsPseudoFileSystem(AFileSystemType))
    return false;
  // Removable media mounted by the desktop live below /run/media; the rest of /run is the system's.
  if (IsUnder(AMountPoint, QStringLiteral("/run/media")))
    return true;
  static const QStringList systemFolders = {
      QStringLiteral("/proc"), QStringLiteral("/sys"),  QStringLiteral("/dev"),     QStringLiteral("/run"),
      QStringLiteral("/boot"), QStringLiteral("/snap"), QStringLiteral("/var/lib"), QStringLiteral("/etc")};
  return std::none_of(systemFolders.cbegin(), systemFolders.cend(),
                      [&](const QString& AFolder) { return IsUnder(AMountPoint, AFolder); });
}

QList<TUserDrive> UserDrives()
{
  QList<TUserDrive> result;
  const QString home = QDir::homePath();
  result.append({QStringLiteral("Home (") + home + QLatin1Char(')'), home});

  QList<TUserDrive> mounts;
  const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
  for (const QStorageInfo& volume : volumes) {
    if (!volume.isValid() || !IsUserMount(volume.rootPath(), volume.fileSystemType()))
      continue;
    const QString path = volume.rootPath();
    if (std::any_of(mounts.cbegin(), mounts.cend(), [&](const TUserDrive& ADrive) { return ADrive.Path == path; }))
      continue;
    QString caption = path;
    const QString name = volume.displayName();
    if (!name.isEmpty() && name != path)
      caption += QStringLiteral(" (") + name + QLatin1Char(')');
    else if (!volume.device().isEmpty() && volume.device().startsWith("/dev/"))
      caption += QStringLiteral(" (") + QString::fromLocal8Bit(volume.device()) + QLatin1Char(')');
    mounts.append({caption, path});
  }
  std::sort(mounts.begin(), mounts.end(), [](const TUserDrive& A, const TUserDrive& B) { return A.Path < B.Path; });
  result.append(mounts);
  return result;
}

int DriveOfPath(const QList<TUserDrive>& ADrives, const QString& APath)
{
  int best = -1;
  qsizetype bestLength = -1;
  for (int i = 0; i < ADrives.size(); ++i) {
    const QString& drive = ADrives.at(i).Path;
    const bool holds = drive == QLatin1String("/") ? APath.startsWith(QLatin1Char('/')) : IsUnder(APath, drive);
    if (holds && drive.size() > bestLength) {
      best = i;
      bestLength = drive.size();
    }
  }
  return best;
}
