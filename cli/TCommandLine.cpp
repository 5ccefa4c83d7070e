// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TCommandLine.h"

#include "cli/TBackupCommand.h"
#include "cli/TTerminal.h"
#include "platform/TRegistry.h"
#include "platform/TSingleInstance.h"
#include "profiles/ManagerSetup.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "settings/TRegFileTransfer.h"
#include "sysinfo/Common.h"
#include "sysinfo/DateTime.h"

#include <QHash>

namespace {

QString TypeText(TZipType AType)
{
  switch (AType) {
  case zZip:
    return QStringLiteral("ZIP");
  case zSeven:
    return QStringLiteral("7z");
  case zNTBackup:
    return QStringLiteral("NT Backup");
  default:
    return QString::number(int(AType));
  }
}

QString YesNo(bool AValue)
{
  return AValue ? QStringLiteral("Yes") : QStringLiteral("No");
}

// Rows of text in left-aligned columns, the last one unpadded.
QString Columns(const QList<QStringList>& ARows)
{
  QList<qsizetype> widths;
  for (const QStringList& row : ARows) {
    for (qsizetype i = 0; i < row.size(); ++i) {
      if (widths.size() <= i)
        widths << 0;
      widths[i] = qMax(widths[i], row.at(i).size());
    }
  }
  QString text;
  for (const QStringList& row : ARows) {
    QString line;
    for (qsizetype i = 0; i < row.size(); ++i)
      line += i + 1 < row.size() ? row.at(i).leftJustified(widths[i] + 2) : row.at(i);
    text += line + QLatin1Char('\n');
  }
  return text;
}

} // namespace

TCommandLine::TCommandLine() = default;

TCommandLine::~TCommandLine() = default;

QString TCommandLine::Usage()
{
  return QStringLiteral(
      "Usage: corvale-cli COMMAND [OPTIONS]\n"
      "\n"
      "Backs up the profiles of Corvale from a terminal, with the same profiles, logs and archives.\n"
      "\n"
      "Commands:\n"
      "  list                       every profile: enabled, archive type, destination, last backup, overdue\n"
      "  overdue                    the overdue profiles, one per line; exit status 1 when there are any\n"
      "  backup [--all-enabled | PROFILE...] [--then ACTION] [--yes]\n"
      "                             back up the named profiles, or every enabled one, then end the session\n"
      "                             with ACTION: none (default), shutdown, restart, logoff or lock.\n"
      "                             On a terminal the action waits 30 seconds for a key that cancels it;\n"
      "                             elsewhere it needs --yes. Ctrl-C asks whether to cancel the backup;\n"
      "                             with --yes it cancels at once.\n"
      "  export FILE.reg            write the program's key (options and profiles, with their passwords)\n"
      "                             as a registry file, readable by you only\n"
      "  import [--replace] FILE.reg\n"
      "                             read a registry file (version 5.00, REGEDIT4 or UTF-8) after checking\n"
      "                             all of it; keys and values in it are added or replaced, \"[-KEY]\" and\n"
      "                             \"name\"=- delete, the rest stays. --replace empties the key first.\n"
      "  help, --help               this text\n"
      "\n"
      "Exit status: 0 complete, 1 failed (or overdue profiles), 2 cancelled, 3 usage or configuration error.\n");
}

int TCommandLine::UsageError(const QString& AMessage)
{
  TTerminal::Error(QStringLiteral("corvale-cli: ") + AMessage +
                   QStringLiteral("\nTry \"corvale-cli --help\" for more information.\n"));
  return esUsage;
}

int TCommandLine::ConfigurationError(const QString& AMessage)
{
  TTerminal::Error(QStringLiteral("corvale-cli: ") + AMessage + QLatin1Char('\n'));
  return esUsage;
}

int TCommandLine::Run(const QStringList& AArguments)
{
  if (AArguments.isEmpty())
    return UsageError(QStringLiteral("a command is missing."));
  const QString command = AArguments.first();
  const QStringList rest = AArguments.mid(1);
  if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help") ||
      rest.contains(QStringLiteral("--help"))) {
    TTerminal::Out(Usage());
    return esComplete;
  }
  if (command == QLatin1String("list") || command == QLatin1String("overdue")) {
    if (!rest.isEmpty())
      return UsageError(QStringLiteral("\"%1\" takes no arguments.").arg(command));
    if (!LoadConfiguration())
      return esUsage;
    return command == QLatin1String("list") ? List() : Overdue();
  }
  if (command == QLatin1String("backup"))
    return Backup(rest);
  if (command == QLatin1String("export")) {
    if (rest.size() != 1 || rest.first().startsWith(QLatin1Char('-')))
      return UsageError(QStringLiteral("\"export\" takes one file name."));
    return Export(rest.first());
  }
  if (command == QLatin1String("import")) {
    QStringList files = rest;
    const bool replace = files.removeAll(QStringLiteral("--replace")) > 0;
    if (files.size() != 1 || files.first().startsWith(QLatin1Char('-')))
      return UsageError(QStringLiteral("\"import\" takes one file name."));
    return Import(files.first(), replace);
  }
  return UsageError(QStringLiteral("unknown command \"%1\".").arg(command));
}

bool TCommandLine::LoadConfiguration()
{
  {
    TRegistry registry;
    const QString error = registry.ErrorText();
    if (!error.isEmpty()) {
      ConfigurationError(error);
      return false;
    }
  }
  FSettings = std::make_unique<TProgramSettings>();
  FManager = std::make_unique<TBackupProfileManager>();
  try {
    TApplicationOptions::ConfigureStore(*FSettings);
    TApplicationOptions options(FSettings.get());
    options.RegisterOptions();
    FSettings->LoadDefaults();
    FSettings->LoadSettings();

    // The manager as the tray program configures it.
    FManager->SetStorageType(StoredStorageType(*FSettings));
    ConfigureUserManager(*FManager);
    ApplyOptionsToManager(*FManager, *FSettings);

    FManager->OnProfileLoadErrors = [](QObject*, const QStringList& ANames) {
      for (const QString& name : ANames)
        TTerminal::Error(
            QStringLiteral("corvale-cli: the stored values of profile \"%1\" cannot be read.\n").arg(name));
    };
    FManager->LoadProfiles();
  } catch (const std::exception& error) {
    ConfigurationError(QString::fromUtf8(error.what()));
    return false;
  }
  return true;
}

int TCommandLine::List()
{
  QList<QStringList> rows{{QStringLiteral("Profile"), QStringLiteral("Enabled"), QStringLiteral("Type"),
                           QStringLiteral("Last backup"), QStringLiteral("Overdue"), QStringLiteral("Destination")}};
  for (int i = 0; i < FManager->ProfileCount(); ++i) {
    TBackupProfile* profile = FManager->GetProfileByIndex(i);
    rows << QStringList{profile->ProfileName(),
                        YesNo(profile->Enabled()),
                        TypeText(profile->ZipType()),
                        profile->LastBackup() == 0 ? QStringLiteral("Never") : DateTimeToStr(profile->LastBackup()),
                        YesNo(profile->IsBackupOverdue()),
                        profile->ZipFile()};
  }
  TTerminal::Out(Columns(rows));
  return esComplete;
}

int TCommandLine::Overdue()
{
  int count = 0;
  for (int i = 0; i < FManager->ProfileCount(); ++i) {
    TBackupProfile* profile = FManager->GetProfileByIndex(i);
    if (profile->IsBackupOverdue()) {
      TTerminal::Out(profile->ProfileName() + QLatin1Char('\n'));
      ++count;
    }
  }
  return count == 0 ? esComplete : esFailed;
}

int TCommandLine::Backup(const QStringList& AArguments)
{
  static const QHash<QString, TExitParameter> actions{{QStringLiteral("none"), xpNone},
                                                      {QStringLiteral("shutdown"), xpShutdown},
                                                      {QStringLiteral("restart"), xpReboot},
                                                      {QStringLiteral("logoff"), xpLogoff},
                                                      {QStringLiteral("lock"), xpLockWorkstation}};
  bool allEnabled = false;
  bool yes = false;
  TExitParameter then = xpNone;
  QStringList names;
  bool onlyNames = false;
  for (qsizetype i = 0; i < AArguments.size(); ++i) {
    const QString& argument = AArguments.at(i);
    if (onlyNames || !argument.startsWith(QLatin1Char('-'))) {
      if (names.contains(argument))
        return UsageError(QStringLiteral("profile \"%1\" is named twice.").arg(argument));
      names << argument;
    } else if (argument == QLatin1String("--")) {
      onlyNames = true;
    } else if (argument == QLatin1String("--all-enabled")) {
      allEnabled = true;
    } else if (argument == QLatin1String("--yes") || argument == QLatin1String("-y")) {
      yes = true;
    } else if (argument == QLatin1String("--then") || argument.startsWith(QLatin1String("--then="))) {
      QString value;
      if (argument == QLatin1String("--then")) {
        if (++i >= AArguments.size())
          return UsageError(QStringLiteral("--then needs an action."));
        value = AArguments.at(i);
      } else {
        value = argument.mid(7);
      }
      if (!actions.contains(value.toLower()))
        return UsageError(
            QStringLiteral("unknown action \"%1\"; use none, shutdown, restart, logoff or lock.").arg(value));
      then = actions.value(value.toLower());
    } else {
      return UsageError(QStringLiteral("unknown option \"%1\".").arg(argument));
    }
  }
  if (allEnabled && !names.isEmpty())
    return UsageError(QStringLiteral("give either --all-enabled or profile names, not both."));
  // Without a terminal nobody could cancel the count-down; ending a session then needs --yes.
  if (then != xpNone && then != xpLockWorkstation && !yes && !TTerminal::InputIsTerminal())
    return UsageError(QStringLiteral("--then %1 needs --yes when not run from a terminal.").arg(actions.key(then)));
  if (!LoadConfiguration())
    return esUsage;
  for (const QString& name : names) {
    if (!FManager->ProfileByName(name))
      return ConfigurationError(QStringLiteral("there is no profile \"%1\".").arg(name));
  }
  const QString logFolder = FManager->LogFolder();
  if (!CheckDirectory(logFolder, true))
    return ConfigurationError(QStringLiteral("Failed to create log file folder \"%1\"").arg(logFolder));

  try {
    if (names.isEmpty()) {
      FManager->QueueAllEnabled();
    } else {
      FManager->ClearQueue();
      for (const QString& name : names)
        FManager->QueueAdd(name);
    }
  } catch (const std::exception& error) {
    return ConfigurationError(QString::fromUtf8(error.what()));
  }

  TBackupCommand command(*FManager);
  // Before the exit action: a session that ends makes the tray program save what it holds.
  command.OnRunEnd = [] {
    NotifyRunningProgram(QStringLiteral("it does not see the last-backup times of this run and stores its own "
                                        "over them when it closes."));
  };
  command.Then = then;
  command.Yes = yes;
  command.Debug = TApplicationOptions::Boolean(*FSettings, TOptionId::Debug);
  return command.Run();
}

int TCommandLine::Export(const QString& AFileName)
{
  TRegFileTransfer transfer(TApplicationOptions::RegistryKey);
  if (!transfer.Export(AFileName))
    return ConfigurationError(transfer.ErrorText());
  TTerminal::Out(QStringLiteral("Exported %1 keys and %2 values to \"%3\".\n")
                     .arg(transfer.KeyCount())
                     .arg(transfer.ValueCount())
                     .arg(AFileName));
  return esComplete;
}

int TCommandLine::Import(const QString& AFileName, bool AReplace)
{
  TRegFileTransfer transfer(TApplicationOptions::RegistryKey);
  if (!transfer.Import(AFileName, AReplace))
    return ConfigurationError(QStringLiteral("\"%1\" was not imported. %2").arg(AFileName, transfer.ErrorText()));
  TTerminal::Out(QStringLiteral("Imported %1 keys and %2 values from \"%3\".\n")
                     .arg(transfer.KeyCount())
                     .arg(transfer.ValueCount())
                     .arg(AFileName));
  NotifyRunningProgram(QStringLiteral("when it closes it stores its own copy of the options and profiles over "
                                      "the imported ones. Close it and import again."));
  return esComplete;
}

void TCommandLine::NotifyRunningProgram(const QString& AUnseen)
{
  // Without a running instance nobody is to be told: asking would only wait for the time-out.
  if (!TSingleInstance::IsRunning())
    return;
  TSingleInstance instance;
  if (!instance.Send(TInstanceCommand::Reload))
    TTerminal::Error(QStringLiteral("corvale-cli: Corvale is running but did not answer; ") + AUnseen +
                     QLatin1Char('\n'));
}
