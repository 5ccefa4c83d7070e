// SPDX-License-Identifier: GPL-3.0-or-later
// The questions a running backup asks the user. The run calls them from its own thread and waits
// for the answer; production: TWindowRunQuestions, which asks on the window's thread; tests
// answer them with a fake.
#pragma once

#include <QStringList>

class TRunQuestions
{
public:
  virtual ~TRunQuestions() = default;

  // Before a profile's backup: closes AActivePrograms as the profile says; true when the backup
  // may go on, false skips the profile as cancelled.
  [[nodiscard]] virtual bool CloseActiveApplications(const QStringList& AActivePrograms, bool ACloseGracefully) = 0;
  // The user pressed Cancel: true when the running profile is to stop.
  [[nodiscard]] virtual bool ConfirmCancel() = 0;
  // A profile was cancelled and others follow: true when they are to be backed up.
  [[nodiscard]] virtual bool ContinueWithRemainingProfiles() = 0;
};
