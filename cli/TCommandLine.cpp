// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TCommandLine.h"

#include "cli/TArchiveCommand.h"
#include "cli/TBackupCommand.h"
#include "cli/TTerminal.h"
#include "notify/EKeywordEmailError.h"
#include "notify/TKeywordEmail.h"
#include "platform/FileNames.h"
#include "platform/TProgramWindows.h"
#include "platform/TRegistry.h"
#include "platform/TSingleInstance.h"
#include "profiles/ManagerSetup.h"
#include "profiles/ProfileEmail.h"
#include "profiles/TBackupProfileManager.h"
#include "profiles/TRegFileTransfer.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "sysinfo/DateTime.h"

#include <QHash>

#include <unistd.h>

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
      "  backup [--all-enabled | PROFILE...] [--then ACTION | --then-if-ok ACTION] [--yes]\n"
      "                             back up the named profiles, or every enabled one, then end the session\n"
      "                             with ACTION: none (default), shutdown, restart, logoff or lock.\n"
      "                             On a terminal the action waits 30 seconds for a key that cancels it;\n"
      "                             elsewhere it needs --yes. Ctrl-C asks whether to cancel the backup;\n"
      "                             with --yes it cancels at once. --then-if-ok performs ACTION only when\n"
      "                             every profile succeeded (as the option ExitOnlyAfterSuccess does).\n"
      "  verify PROFILE [--generation K]\n"
      "                             read the profile's archive back whole (every volume, every entry) and\n"
      "                             check it; exit status 0 sound, 1 damaged or missing\n"
      "  restore PROFILE --to FOLDER [--generation K] [PATTERN...] [--overwrite] [--keep-special-modes]\n"
      "                             restore the profile's archive (or the entries whose path, name or\n"
      "                             folder matches a PATTERN) into FOLDER, with their times and\n"
      "                             permissions; existing files are kept unless --overwrite is given;\n"
      "                             setuid, setgid and sticky bits are dropped and the umask applies\n"
      "                             (as root, --keep-special-modes keeps them); existing folders keep\n"
      "                             their own permissions and times\n"
      "  generations PROFILE        the profile's newest archive (0) and the earlier ones it keeps\n"
      "                             (\"Keep previous archives\"), newest first: index, date and time,\n"
      "                             size of all volumes, file (the first volume of a set)\n"
      "                             --generation K makes verify and restore work on archive K of that list\n"
      "                             (default 0); a K that does not exist fails with exit status 1\n"
      "  export FILE.reg            write the program's key (options and profiles, with their passwords)\n"
      "                             as a registry file, readable by you only\n"
      "  import [--replace] FILE.reg\n"
      "                             read a registry file (version 5.00, REGEDIT4 or UTF-8) after checking\n"
      "                             all of it; keys and values in it are added or replaced, \"[-KEY]\" and\n"
      "                             \"name\"=- delete, the rest stays. --replace empties the key first.\n"
      "  mail-test PROFILE          send the profile's log e-mail now with its current settings and show\n"
      "                             the server's answer; exit status 0 sent, 1 not sent\n"
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
  if (command == QLatin1String("verify"))
    return Verify(rest);
  if (command == QLatin1String("generations")) {
    if (rest.size() != 1 || rest.first().startsWith(QLatin1Char('-')))
      return UsageError(QStringLiteral("\"generations\" takes one profile name."));
    if (!LoadConfiguration())
      return esUsage;
    return Generations(rest.first());
  }
  if (command == QLatin1String("restore"))
    return Restore(rest);
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
  if (command == QLatin1String("mail-test")) {
    if (rest.size() != 1 || rest.first().startsWith(QLatin1Char('-')))
      return UsageError(QStringLiteral("\"mail-test\" takes one profile name."));
    if (!LoadConfiguration())
      return esUsage;
    return MailTest(rest.first());
  }
  return UsageError(QStringLiteral("unknown command \"%1\".").arg(command));
}

int TCommandLine::MailTest(const QString& AProfileName)
{
  TBackupProfile* profile = FManager->ProfileByName(AProfileName);
  if (!profile)
    return ConfigurationError(QStringLiteral("there is no profile \"%1\".").arg(AProfileName));
  // The run log as a run names it; the profile is not saved here.
  profile->SetLogFile(FManager->LogFolder() + AProfileName + QStringLiteral(".log"));
  const bool haveLog = ::access(EncodeFileName(profile->LogFile()).constData(), R_OK) == 0;
  if (!profile->LogEmailEnabled())
    TTerminal::Out(
        QStringLiteral("Note: the log e-mail of \"%1\" is switched off; it is sent anyway.\n").arg(AProfileName));
  if (!haveLog)
    TTerminal::Out(
        QStringLiteral("Note: %1 does not exist yet; the e-mail goes without it.\n").arg(profile->LogFile()));

  TKeywordEmail email;
  PrepareProfileEmail(email, *profile, profile->LogEmailDetails(), FManager->SMTPSettings(), haveLog);
  const QString server = email.Server().Hostname + QLatin1Char(':') + QString::number(email.Server().Port & 0xFFFF);
  TTerminal::Out(QStringLiteral("Sending to %1 through %2...\n").arg(email.Message().Recipients, server));
  bool sent = false;
  try {
    sent = email.Send();
  } catch (const EKeywordEmailError& e) {
    TTerminal::Error(QStringLiteral("Not sent: ") + e.Message() + QLatin1Char('\n'));
    return esFailed;
  }
  if (!sent) {
    TTerminal::Error(QStringLiteral("Not sent: ") + email.LastError() + QLatin1Char('\n'));
    return esFailed;
  }
  TTerminal::Out(QStringLiteral("Sent. The server answered: ") + email.LastReply() + QLatin1Char('\n'));
  return esComplete;
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
    if (const QString refused = FSettings->RefusedDefaultsText(); !refused.isEmpty())
      TTerminal::Error(QStringLiteral("corvale-cli: ") + refused + QLatin1Char('\n'));
    FSettings->LoadSettings();

    // The manager as the tray program configures it.
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
  bool onlyIfOk = false;
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
    } else if (argument == QLatin1String("--then") || argument.startsWith(QLatin1String("--then=")) ||
               argument == QLatin1String("--then-if-ok") || argument.startsWith(QLatin1String("--then-if-ok="))) {
      const qsizetype equals = argument.indexOf(QLatin1Char('='));
      const QString option = equals < 0 ? argument : argument.left(equals);
      onlyIfOk = onlyIfOk || option == QLatin1String("--then-if-ok");
      QString value;
      if (equals < 0) {
        if (++i >= AArguments.size())
          return UsageError(QStringLiteral("%1 needs an action.").arg(option));
        value = AArguments.at(i);
      } else {
        value = argument.mid(equals + 1);
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

  // Said at most once, when a profile lists programs and no X server can be reached.
  const std::unique_ptr<TProgramWindows> windows =
      CreateProgramWindows([](const QString& ALine) { TTerminal::Error(ALine + QLatin1Char('\n')); });
  TBackupCommand command(*FManager, *windows);
  // Before the exit action: a session that ends makes the tray program save what it holds.
  command.OnRunEnd = [] {
    NotifyRunningProgram(QStringLiteral("it does not see the last-backup times of this run and stores its own "
                                        "over them when it closes."));
  };
  command.Then = then;
  command.Yes = yes;
  command.OnlyAfterSuccess = onlyIfOk || TApplicationOptions::Boolean(*FSettings, TOptionId::ExitOnlyAfterSuccess);
  command.Debug = TApplicationOptions::Boolean(*FSettings, TOptionId::Debug);
  return command.Run();
}

TBackupProfile* TCommandLine::ArchiveProfile(const QString& AName)
{
  TBackupProfile* profile = FManager->ProfileByName(AName);
  if (!profile) {
    ConfigurationError(QStringLiteral("there is no profile \"%1\".").arg(AName));
    return nullptr;
  }
  if (profile->ZipType() != zZip && profile->ZipType() != zSeven) {
    ConfigurationError(QStringLiteral("profile \"%1\" does not write a ZIP or 7z archive.").arg(AName));
    return nullptr;
  }
  return profile;
}

int TCommandLine::Verify(const QStringList& AArguments)
{
  QStringList names = AArguments;
  int generation = 0;
  if (!TakeGeneration(names, generation))
    return esUsage;
  if (names.size() != 1 || names.first().startsWith(QLatin1Char('-')))
    return UsageError(QStringLiteral("\"verify\" takes one profile name."));
  if (!LoadConfiguration())
    return esUsage;
  const TBackupProfile* profile = ArchiveProfile(names.first());
  if (!profile)
    return esUsage;
  return TArchiveCommand(*profile).Verify(generation);
}

int TCommandLine::Generations(const QString& AProfileName)
{
  const TBackupProfile* profile = ArchiveProfile(AProfileName);
  if (!profile)
    return esUsage;
  return TArchiveCommand(*profile).Generations();
}

bool TCommandLine::TakeGeneration(QStringList& AArguments, int& AGeneration)
{
  for (qsizetype i = 0; i < AArguments.size(); ++i) {
    const QString& argument = AArguments.at(i);
    if (argument == QLatin1String("--"))
      break;
    QString value;
    if (argument == QLatin1String("--generation")) {
      if (i + 1 >= AArguments.size()) {
        UsageError(QStringLiteral("--generation needs a number."));
        return false;
      }
      value = AArguments.takeAt(i + 1);
    } else if (argument.startsWith(QLatin1String("--generation="))) {
      value = argument.mid(13);
    } else {
      continue;
    }
    AArguments.removeAt(i--);
    bool ok = false;
    AGeneration = value.toInt(&ok);
    if (!ok || AGeneration < 0) {
      UsageError(QStringLiteral("--generation needs a number from 0 (the newest archive), not \"%1\".").arg(value));
      return false;
    }
  }
  return true;
}

int TCommandLine::Restore(const QStringList& AArguments)
{
  QString name;
  QString target;
  QStringList patterns;
  bool overwrite = false;
  bool keepSpecialModes = false;
  bool onlyNames = false;
  QStringList arguments = AArguments;
  int generation = 0;
  if (!TakeGeneration(arguments, generation))
    return esUsage;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments.at(i);
    if (onlyNames || !argument.startsWith(QLatin1Char('-'))) {
      if (name.isEmpty())
        name = argument;
      else
        patterns << argument;
    } else if (argument == QLatin1String("--")) {
      onlyNames = true;
    } else if (argument == QLatin1String("--overwrite")) {
      overwrite = true;
    } else if (argument == QLatin1String("--keep-special-modes")) {
      // Only root can own what setuid and setgid bits would hand out.
      if (::geteuid() != 0)
        return UsageError(QStringLiteral("--keep-special-modes is for root only."));
      keepSpecialModes = true;
    } else if (argument == QLatin1String("--to")) {
      if (++i >= arguments.size() || arguments.at(i).isEmpty())
        return UsageError(QStringLiteral("--to needs a folder."));
      target = arguments.at(i);
    } else if (argument.startsWith(QLatin1String("--to="))) {
      target = argument.mid(5);
    } else {
      return UsageError(QStringLiteral("unknown option \"%1\".").arg(argument));
    }
  }
  if (name.isEmpty())
    return UsageError(QStringLiteral("\"restore\" takes a profile name."));
  if (target.isEmpty())
    return UsageError(QStringLiteral("\"restore\" needs --to FOLDER."));
  if (!LoadConfiguration())
    return esUsage;
  const TBackupProfile* profile = ArchiveProfile(name);
  if (!profile)
    return esUsage;
  TArchiveCommand command(*profile);
  command.SetKeepSpecialModes(keepSpecialModes);
  return command.Restore(target, patterns, overwrite, generation);
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
