// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TTerminal.h"

#include "platform/TTerminationWatcher.h"

#include <cerrno>
#include <cstdio>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

void Write(FILE* AStream, const QString& AText)
{
  const QByteArray bytes = AText.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), AStream);
  std::fflush(AStream);
}

// Waits for input or a signal; 1 input, 2 signal, 0 time-out, -1 end.
int Wait(TTerminationWatcher* AWatcher, int ATimeOutMs)
{
  pollfd handles[2] = {{STDIN_FILENO, POLLIN, 0}, {AWatcher ? AWatcher->Handle() : -1, POLLIN, 0}};
  for (;;) {
    const int ready = ::poll(handles, 2, ATimeOutMs);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready < 0)
      return -1;
    if (ready == 0)
      return 0;
    if (handles[1].revents & POLLIN)
      return 2;
    return (handles[0].revents & POLLIN) ? 1 : -1;
  }
}

// Questions go where the user sees them: the output when it is the terminal, else the error stream.
void Prompt(const QString& AText)
{
  Write(TTerminal::OutputIsTerminal() ? stdout : stderr, AText);
}

} // namespace

bool TTerminal::InputIsTerminal()
{
  return ::isatty(STDIN_FILENO) == 1;
}

bool TTerminal::OutputIsTerminal()
{
  return ::isatty(STDOUT_FILENO) == 1;
}

int TTerminal::Width()
{
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    return size.ws_col;
  return 80;
}

void TTerminal::Out(const QString& AText)
{
  Write(stdout, AText);
}

void TTerminal::Error(const QString& AText)
{
  std::fflush(stdout);
  Write(stderr, AText);
}

bool TTerminal::Ask(const QString& AQuestion, TTerminationWatcher* AWatcher)
{
  Prompt(AQuestion + QStringLiteral(" (y/N) "));
  QByteArray answer;
  for (;;) {
    const int event = Wait(AWatcher, -1);
    if (event == 2) {
      AWatcher->TakeSignal();
      Prompt(QStringLiteral("y\n"));
      return true;
    }
    if (event != 1) {
      Prompt(QStringLiteral("\n"));
      return false;
    }
    char c = 0;
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got <= 0) {
      Prompt(QStringLiteral("\n"));
      return false;
    }
    if (c == '\n')
      break;
    answer.append(c);
  }
  const QByteArray text = answer.trimmed().toLower();
  return text == "y" || text == "yes";
}

bool TTerminal::CountDown(int ASeconds, const std::function<QString(int)>& AText, TTerminationWatcher* AWatcher)
{
  termios saved{};
  const bool raw = InputIsTerminal() && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (raw) {
    termios settings = saved;
    // One key at a time, unechoed; Ctrl-C still raises its signal, which stops the count too.
    settings.c_lflag &= ~tcflag_t(ICANON | ECHO);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &settings);
    // Keys pressed before the question do not answer it.
    ::tcflush(STDIN_FILENO, TCIFLUSH);
  }
  bool ranOut = true;
  for (int left = ASeconds; left >= 0; --left) {
    Prompt(QStringLiteral("\r\033[K") + AText(left));
    if (left == 0)
      break;
    const int event = Wait(AWatcher, 1000);
    if (event == 0)
      continue;
    if (event == 2)
      AWatcher->TakeSignal();
    else if (event == 1) {
      char c = 0;
      [[maybe_unused]] const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    }
    ranOut = false;
    break;
  }
  Prompt(QStringLiteral("\n"));
  if (raw)
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return ranOut;
}
