// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TTerminationWatcher.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcTermination, "corvale.termination", QtWarningMsg)

namespace {

// [0] is written by the handler, [1] read on the user-interface thread.
int Pipe[2] = {-1, -1};
constexpr int Watched[] = {SIGTERM, SIGINT, SIGHUP};

void Handler(int ASignal)
{
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(ASignal);
  // Async-signal-safe; a full pipe only drops a repeated request.
  [[maybe_unused]] const ssize_t written = ::write(Pipe[0], &byte, 1);
  errno = saved;
}

} // namespace

TTerminationWatcher::TTerminationWatcher(QObject* AParent)
  : QObject(AParent)
{
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, Pipe) != 0) {
    qCWarning(lcTermination) << "socketpair failed; termination signals end the program at once";
    Pipe[0] = Pipe[1] = -1;
    return;
  }
  FNotifier = new QSocketNotifier(Pipe[1], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, &TTerminationWatcher::Read);
  struct sigaction action = {};
  action.sa_handler = Handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : Watched)
    ::sigaction(signal, &action, nullptr);
}

TTerminationWatcher::~TTerminationWatcher()
{
  if (Pipe[0] < 0)
    return;
  for (int signal : Watched)
    ::signal(signal, SIG_DFL);
  delete FNotifier;
  ::close(Pipe[0]);
  ::close(Pipe[1]);
  Pipe[0] = Pipe[1] = -1;
}

int TTerminationWatcher::Handle() const
{
  return Pipe[1];
}

int TTerminationWatcher::TakeSignal()
{
  unsigned char byte = 0;
  return Pipe[1] >= 0 && ::read(Pipe[1], &byte, 1) == 1 ? int(byte) : 0;
}

void TTerminationWatcher::Read()
{
  unsigned char byte = 0;
  while (::read(Pipe[1], &byte, 1) == 1) {
    qCDebug(lcTermination) << "received signal" << int(byte);
    if (OnTerminate)
      OnTerminate(int(byte));
  }
}
