// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TRegFileLayout.h"

#include "settings/SettingValues.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"

#include <QHash>

namespace {

using TTable = QHash<QString, TRegFileLayout::TExpected>;

constexpr TRegFileLayout::TExpected Text{rdString, -1};
constexpr TRegFileLayout::TExpected Number{rdInteger, -1};
constexpr TRegFileLayout::TExpected Date{rdBinary, 8};

QString Fold(const QString& AName)
{
  return AName.toUpper();
}

TTable MakeTable(std::initializer_list<std::pair<const char*, TRegFileLayout::TExpected>> AEntries)
{
  TTable table;
  for (const auto& [name, expected] : AEntries)
    table.insert(Fold(QString::fromLatin1(name)), expected);
  return table;
}

// The options, registered as the program registers them, by the type each is stored as.
const TTable& Options()
{
  static const TTable table = [] {
    TTable result;
    TProgramSettings settings;
    TApplicationOptions options(&settings);
    options.RegisterOptions();
    for (int i = 0; i < settings.Count(); ++i) {
      const TSettingItem* item = settings.GetItem(i);
      result.insert(Fold(item->KeyName()), {RegistryDataType(item->ValueType()), -1});
    }
    return result;
  }();
  return table;
}

const TTable& ProfileValues()
{
  static const TTable table = MakeTable({
      {"ProfileVersion", Number},
      {"Enabled", Number},
      {"Password", Text},
      {"Description", Text},
      {"ZipFile", Text},
      {"ZipType", Number},
      {"LogFile", Text},
      {"LastBackup", Date},
      {"ShowAlerts", Number},
      {"AlertDays", Number},
      {"CloseGracefully", Number},
      {"AlertEmailEnabled", Number},
      {"AlertEmailLastRun", Date},
      {"LogEmailEnabled", Number},
      {"SpanningSize", Number},
      {"KeepArchives", Number},
      {"CompressionLevel", Number},
      {"CustomSMTPSettings", Number},
      {"SystemState", Number},
  });
  return table;
}

const TTable& EntryValues()
{
  static const TTable table = MakeTable({{"folder", Text}, {"filemask", Text}, {"recursive", Number}});
  return table;
}

const TTable& EmailValues()
{
  static const TTable table = MakeTable(
      {{"Recipients", Text}, {"SenderAddress", Text}, {"SenderName", Text}, {"Subject", Text}, {"Body", Text}});
  return table;
}

const TTable& SMTPValues()
{
  static const TTable table = MakeTable({{"SMTPHostname", Text},
                                         {"SMTPPort", Number},
                                         {"Username", Text},
                                         {"Password", Text},
                                         {"SMTPAuthentication", Number},
                                         {"SMTPSecure", Number}});
  return table;
}

} // namespace

TRegFileLayout::TExpected TRegFileLayout::Expected(const QStringList& AKeyParts, const QString& AValueName)
{
  const QString name = Fold(AValueName);
  const TTable* table = nullptr;
  switch (AKeyParts.size()) {
  case 0:
    table = &Options();
    break;
  case 1:
    table = &ProfileValues(); // every profile, and the user's ".Default"
    break;
  case 2: {
    const QString sub = Fold(AKeyParts.at(1));
    if (sub == QLatin1String("ALERTEMAIL") || sub == QLatin1String("LOGEMAIL"))
      table = &EmailValues();
    else if (sub == QLatin1String("SMTPSETTINGS"))
      table = &SMTPValues();
    else if (sub == QLatin1String("ACTIVE PROGRAMS"))
      return Text; // one text per program, under any name
    break;
  }
  case 3: {
    const QString list = Fold(AKeyParts.at(1));
    if (list == QLatin1String("FILES") || list == QLatin1String("FILEEXCLUSIONS"))
      table = &EntryValues();
    break;
  }
  default:
    break;
  }
  return table ? table->value(name) : TExpected();
}

QString TRegFileLayout::KindText(TRegDataType AType)
{
  switch (AType) {
  case rdString:
    return QStringLiteral("a string");
  case rdInteger:
    return QStringLiteral("a dword");
  case rdBinary:
    return QStringLiteral("hex: binary data");
  default:
    return QStringLiteral("a value");
  }
}
