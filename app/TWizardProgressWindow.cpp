// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TWizardProgressWindow.h"

#include "app/TdlgProgress.h"

TWizardProgressWindow::TWizardProgressWindow()
  : FWindow(std::make_unique<TdlgProgress>())
{
  FWindow->SetShowEstimatedTime(true);
}

TWizardProgressWindow::~TWizardProgressWindow() = default;

void TWizardProgressWindow::ShowProgress(const QString& ACaption, bool AWaiting)
{
  FWindow->Show(ACaption, AWaiting ? psWaiting : psNormal);
}

void TWizardProgressWindow::SetProgress(int AProgress)
{
  FWindow->Progress(AProgress, QString());
}

void TWizardProgressWindow::UpdateProgress()
{
  FWindow->Update();
}

void TWizardProgressWindow::HideProgress()
{
  FWindow->hide();
}
