// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AutoStart.h"
#include "platform/FileNames.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// One argument of an Exec line: quoted when it holds a reserved character, with the characters
// that keep their meaning inside quotes escaped.
QString QuoteArgument(const QString& AArgument)
{
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  bool quote = AArgument.isEmpty();
  for (const QChar c : AArgument)
    quote = quote || reserved.contains(c);
  QString result;
  for (const QChar c : AArgument) {
    if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')))
      result += QLatin1Char('\\');
    result += c;
    if (c == QLatin1Char('%'))
      result += QLatin1Char('%'); // "%%" is a literal percent sign, not a field code
  }
  return quote ? QString(QLatin1Char('"') + result + QLatin1Char('"')) : result;
}

// The escapes of a desktop-entry string value, applied to the whole Exec value.
QString EscapeValue(const QString& AValue)
{
  QString result;
  for (const QChar c : AValue) {
    if (c == QLatin1Char('\\'))
      result += QStringLiteral("\\\\");
    else if (c == QLatin1Char('\n'))
      result += QStringLiteral("\\n");
    else if (c == QLatin1Char('\t'))
      result += QStringLiteral("\\t");
    else if (c == QLatin1Char('\r'))
      result += QStringLiteral("\\r");
    else
      result += c;
  }
  return result;
}

// An installed program lives in <prefix>/lib/corvale/ and is started through a link of the same name
// in <prefix>/bin/. The entry names that launcher when there is one: it is the command a person
// recognises, and it stays valid when an update of the package moves the program folder.
QString Launcher(const QString& AProgram)
{
  const QFileInfo program(AProgram);
  const QFileInfo launcher(
      QDir::cleanPath(program.absolutePath() + QStringLiteral("/../../bin/") + program.fileName()));
  if (launcher.exists() && launcher.canonicalFilePath() == program.canonicalFilePath())
    return launcher.filePath();
  return AProgram;
}

} // namespace

QString AutoStartFileName(const QString& AName)
{
  return ConfigHomeFolder() + QStringLiteral("/autostart/") + AName + QStringLiteral(".desktop");
}

bool AutoStartExists(const QString& AName)
{
  return QFile::exists(AutoStartFileName(AName));
}

bool WriteAutoStart(const QString& AName, const QString& AProgram, const QStringList& AArguments)
{
  if (AName.isEmpty() || AProgram.isEmpty() || HasEscapedBytes(AProgram))
    return false;
  QStringList command{QuoteArgument(Launcher(AProgram))};
  for (const QString& argument : AArguments)
    command << QuoteArgument(argument);
  QString content = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=%1\n"
                                   "Exec=%2\n"
                                   "Icon=%3\n"
                                   "Terminal=false\n"
                                   "X-GNOME-Autostart-enabled=true\n")
                        .arg(EscapeValue(AName), EscapeValue(command.join(QLatin1Char(' '))),
                             EscapeValue(QFileInfo(AProgram).fileName()));
  // What lets the shell match the started program's X11 window to the entry: Qt names the
  // window's class after the application. On Wayland the app id does that, from the desktop
  // file name the program gives Qt.
  if (const QString windowClass = QCoreApplication::applicationName(); !windowClass.isEmpty())
    content += QStringLiteral("StartupWMClass=") + EscapeValue(windowClass) + QLatin1Char('\n');
  const QString fileName = AutoStartFileName(AName);
  if (!QDir().mkpath(ConfigHomeFolder() + QStringLiteral("/autostart")))
    return false;
  QSaveFile file(fileName);
  const QByteArray bytes = content.toUtf8();
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool RemoveAutoStart(const QString& AName)
{
  QFile file(AutoStartFileName(AName));
  return !file.exists() || file.remove();
}
