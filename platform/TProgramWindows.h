// SPDX-License-Identifier: GPL-3.0-or-later
// The top-level windows of the programs on the desktop: listing, finding, closing and ending them.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A window of the desktop; 0 is no window.
using TWindowId = quint32;

struct TProgramWindow
{
  TWindowId Id = 0;
  QString Title;
  QString ClassName;
  bool Visible = false; // shown, possibly minimised
  TWindowId Owner = 0;  // the window this one is a dialog of, 0 for a program's own window
};

// A program of a profile's list that has a window open (or runs out of reach).
struct TListedProgram
{
  QString Name;
  QString ClassName;
  TWindowId Window = 0; // 0 for a program out of reach (UnreachablePrograms)

  // An entry of a profile's list, "window title=window class" or a title alone.
  static TListedProgram FromEntry(const QString& AEntry)
  {
    const qsizetype split = AEntry.indexOf(QLatin1Char('='));
    return {split < 0 ? AEntry : AEntry.left(split), split < 0 ? QString() : AEntry.mid(split + 1)};
  }
};

class TProgramWindows
{
public:
  virtual ~TProgramWindows() = default;

  // The programs' top-level windows, from the top of the stacking order down. Empty where the
  // desktop lets no program see the others' windows.
  [[nodiscard]] virtual QList<TProgramWindow> Windows() = 0;
  // Asks the program to close the window, as its close box would, and returns at once: the
  // program may still ask its own questions. False when the request could not be made.
  [[nodiscard]] virtual bool CloseProgramWindow(TWindowId AWindow) = 0;
  // Ends the program that owns the window at once, without asking it. False when nothing was
  // ended: the window has gone, or its process belongs to another user or to this program.
  [[nodiscard]] virtual bool TerminateProgramWindow(TWindowId AWindow) = 0;

  // The entries of APrograms ("window title=window class") that may be running where this
  // facility can neither see nor close them: native Wayland programs on a desktop that offers no
  // way to other programs' windows. Each is an entry without a window here whose class or title
  // names a running program of this user; the facility's log names it once while it runs. Empty
  // where every window is within reach.
  [[nodiscard]] virtual QList<TListedProgram> UnreachablePrograms(const QStringList& APrograms)
  {
    (void)APrograms;
    return {};
  }

  // The first window found by these lookups, tried in turn: a window of class AClass; a window
  // titled AName; a window of class AName; a window of class AClass titled AName. Texts compare
  // whole, without regard to case; a lookup whose key is empty is skipped. 0 when none is found.
  [[nodiscard]] TWindowId FindProgramWindow(const QString& AName, const QString& AClass);
};

// For each entry of APrograms ("window title=window class", split at the first "="), in order,
// finds its window and closes it (AGracefully) or ends its program. Returns the entries that had
// a window.
[[nodiscard]] QList<TListedProgram> CloseListedPrograms(TProgramWindows& AWindows, const QStringList& APrograms,
                                                        bool AGracefully);

// The windows of the X server that DISPLAY names (programs on XWayland included). Without a
// reachable X server every list is empty and nothing is closed; AOnLog is told so once. In a
// Wayland session (WAYLAND_DISPLAY or XDG_SESSION_TYPE says so) native Wayland windows are out of
// its reach, and UnreachablePrograms names the listed programs that run anyway.
std::unique_ptr<TProgramWindows> CreateProgramWindows(std::function<void(const QString&)> AOnLog = {});
