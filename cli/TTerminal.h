// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal the command line talks to: whether there is one, its width, a yes/no question and
// a count-down that any key stops. Signals arriving meanwhile come through the watcher.
#pragma once

#include <QString>

#include <functional>

class TTerminationWatcher;

class TTerminal
{
public:
  static bool InputIsTerminal();
  static bool OutputIsTerminal();
  // Columns of the output terminal; 80 when it cannot be told.
  static int Width();

  static void Out(const QString& AText);
  static void Error(const QString& AText);

  // Asks AQuestion with " (y/N) " and reads a line; true for an answer starting with y. A signal
  // while waiting (a second Ctrl-C) counts as yes; the end of the input as no.
  static bool Ask(const QString& AQuestion, TTerminationWatcher* AWatcher);
  // Shows AText(seconds left) on one line, once a second from ASeconds down to 0; true when the
  // time ran out, false when a key or a signal stopped it. The terminal is in raw mode meanwhile.
  static bool CountDown(int ASeconds, const std::function<QString(int)>& AText, TTerminationWatcher* AWatcher);
};
