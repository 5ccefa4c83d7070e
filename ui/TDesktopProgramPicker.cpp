// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TDesktopProgramPicker.h"

#include "platform/TProgramWindows.h"
#include "ui/TfrmActiveApplications.h"
#include "ui/TfrmAddProgram.h"

TDesktopProgramPicker::TDesktopProgramPicker(TProgramWindows& AWindows)
  : FWindows(AWindows)
{}

TDesktopProgramPicker::~TDesktopProgramPicker() = default;

bool TDesktopProgramPicker::PickProgram(QString& AWindowName, QString& AWindowClass)
{
  TfrmAddProgram dialog(FWindows);
  dialog.SetWindowName(AWindowName);
  dialog.SetWindowClass(AWindowClass);
  if (!dialog.Execute())
    return false;
  AWindowName = dialog.WindowName();
  AWindowClass = dialog.WindowClass();
  return true;
}

bool TDesktopProgramPicker::CloseApplications(const QStringList& AActivePrograms, bool ACloseGracefully)
{
  if (!FActiveApplications)
    FActiveApplications = std::make_unique<TfrmActiveApplications>(FWindows);
  return FActiveApplications->Execute(AActivePrograms, ACloseGracefully);
}
