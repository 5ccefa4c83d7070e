// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TShellCommands.h"

#include "app/TfrmOrvel.h"
#include "ui/TMessageBox.h"

#include <QAction>
#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcCommands, "corvale.shell", QtWarningMsg)

TShellCommands::TShellCommands(TfrmOrvel& AForm)
  : FForm(AForm)
{}

void TShellCommands::ProcessCommandLine(const QStringList& AArguments)
{
  for (qsizetype i = 0; i < AArguments.size(); ++i) {
    const QString& argument = AArguments.at(i);
    // The profile editor from the command line: "--edit-profile NAME" and "--new-profile".
    if (argument == QLatin1String("--edit-profile")) {
      if (i + 1 < AArguments.size())
        FForm.EditProfile(AArguments.at(++i));
      else
        TMessageBox::Error(&FForm, QStringLiteral("--edit-profile needs the name of a profile."));
      continue;
    }
    if (argument == QLatin1String("--new-profile")) {
      FForm.NewProfile();
      continue;
    }
    const QString upper = argument.toUpper();
    if (upper == QLatin1String("/HIDE"))
      FForm.ExecuteAction(FForm.ActionHide);
    else if (upper == QLatin1String("/ABOUT"))
      FForm.ExecuteAction(FForm.ActionAbout);
    else if (upper == QLatin1String("/OPTIONS"))
      FForm.ExecuteAction(FForm.ActionOptions);
    else if (upper == QLatin1String("/BACKUP"))
      FForm.ExecuteAction(FForm.ActionCustomBackup);
  }
}

void TShellCommands::Execute(TInstanceCommand ACommand)
{
  qCDebug(lcCommands) << "command" << int(ACommand);
  TfrmOrvel* form = &FForm;
  switch (ACommand) {
  case TInstanceCommand::Show:
    FForm.ExecuteAction(FForm.ActionShow);
    break;
  case TInstanceCommand::Hide:
    FForm.ExecuteAction(FForm.ActionHide);
    break;
  case TInstanceCommand::Exit:
    FForm.ExecuteAction(FForm.ActionExit);
    break;
  case TInstanceCommand::Options:
    // The options are a modal dialog: the sender is answered first and the dialog follows from the
    // event loop, so that a later start does not wait for the user to close it.
    FForm.UpdateActions();
    if (FForm.ActionOptions->isEnabled())
      QTimer::singleShot(0, form, [form] {
        if (!form->Closed())
          form->ActionOptions->trigger();
      });
    break;
  case TInstanceCommand::Reload:
    // The sender is answered at once; the reading follows from the event loop, so that a message
    // it raises does not keep the sender waiting.
    FForm.RequestReload();
    QTimer::singleShot(0, form, [form] {
      if (!form->Closed())
        form->Guarded([form] { form->ReloadPendingStore(); });
    });
    break;
  }
  qCDebug(lcCommands).nospace() << "command " << int(ACommand) << " done; main window visible: " << FForm.isVisible()
                                << ", minimised: " << FForm.isMinimized();
}
