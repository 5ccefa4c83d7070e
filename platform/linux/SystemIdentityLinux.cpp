// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemIdentity.h"

#include <climits>
#include <vector>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <unistd.h>

QString ComputerName()
{
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof(name) - 1) != 0)
    return QString();
  return QString::fromLocal8Bit(name);
}

QString LoginName()
{
  // The password database rather than getlogin(), which needs a controlling terminal.
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
    return QString::fromLocal8Bit(found->pw_name);
  return QString();
}

QString LocalIPAddress()
{
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0)
    return QString();
  QString result;
  for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
      continue;
    if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK))
      continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text))) {
      result = QString::fromLatin1(text);
      break;
    }
  }
  freeifaddrs(list);
  return result;
}
