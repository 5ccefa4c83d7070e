// SPDX-License-Identifier: GPL-3.0-or-later
// The lookups shared by every desktop's window facility.
#include "platform/TProgramWindows.h"

namespace {

bool SameText(const QString& ALeft, const QString& ARight)
{
  return ALeft.compare(ARight, Qt::CaseInsensitive) == 0;
}

} // namespace

TWindowId TProgramWindows::FindProgramWindow(const QString& AName, const QString& AClass)
{
  if (AName.isEmpty() && AClass.isEmpty())
    return 0;
  const QList<TProgramWindow> windows = Windows();
  // Each lookup compares the keys it names; one whose key is empty is skipped.
  const struct
  {
    const QString* ClassName;
    const QString* Title;
  } lookups[] = {{&AClass, nullptr}, {nullptr, &AName}, {&AName, nullptr}, {&AClass, &AName}};
  for (const auto& lookup : lookups) {
    if ((lookup.ClassName && lookup.ClassName->isEmpty()) || (lookup.Title && lookup.Title->isEmpty()))
      continue;
    for (const TProgramWindow& window : windows) {
      if ((!lookup.ClassName || SameText(window.ClassName, *lookup.ClassName)) &&
          (!lookup.Title || SameText(window.Title, *lookup.Title)))
        return window.Id;
    }
  }
  return 0;
}

QList<TListedProgram> CloseListedPrograms(TProgramWindows& AWindows, const QStringList& APrograms, bool AGracefully)
{
  QList<TListedProgram> found;
  for (const QString& entry : APrograms) {
    TListedProgram program = TListedProgram::FromEntry(entry);
    program.Window = AWindows.FindProgramWindow(program.Name, program.ClassName);
    if (program.Window == 0)
      continue;
    // The outcome shows at the next look: a window that stays is asked again then.
    if (AGracefully)
      (void)AWindows.CloseProgramWindow(program.Window);
    else
      (void)AWindows.TerminateProgramWindow(program.Window);
    found << program;
  }
  return found;
}
