// SPDX-License-Identifier: GPL-3.0-or-later
// What reaches the running program from outside its windows: the switches of its command line,
// carried out in the order given, and the commands of a later start or of corvale-cli. Each
// becomes one of the main window's actions, taken only while that action is enabled.
#pragma once

#include "platform/TSingleInstance.h"

#include <QStringList>

class TfrmOrvel;

class TShellCommands
{
public:
  // AForm outlives this object.
  explicit TShellCommands(TfrmOrvel& AForm);

  // "/HIDE", "/ABOUT", "/OPTIONS", "/BACKUP" in any letter case, "--edit-profile NAME" and
  // "--new-profile".
  void ProcessCommandLine(const QStringList& AArguments);
  // Show, Hide, Exit at once; Options and Reload after the sender has been answered.
  void Execute(TInstanceCommand ACommand);

private:
  TfrmOrvel& FForm;
};
