// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TRegFileLayout.h"

#include "profiles/TBackupProfile.h"
#include "settings/SettingValues.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"

#include <QHash>

namespace {

using TTable = QHash<QString, TRegFileLayout::TExpected>;

QString Fold(const QString& AName)
{
  return AName.toUpper();
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

template <typename TRecord> TTable MakeTable(TStoredFields<TRecord> AFields)
{
  TTable table;
  for (const TStoredField<TRecord>& row : AFields)
    table.insert(Fold(QString::fromLatin1(row.Name)), {row.Type(), row.Type() == rdBinary ? 8 : -1});
  return table;
}

} // namespace

TRegFileLayout::TExpected TRegFileLayout::Expected(const QStringList& AKeyParts, const QString& AValueName)
{
  static const TTable profileValues = MakeTable(TBackupProfile::StoredValues());
  static const TTable entryValues = MakeTable(TBackupProfile::StoredEntryValues());
  static const TTable emailValues = MakeTable(TBackupProfile::StoredEmailValues());
  static const TTable smtpValues = MakeTable(TBackupProfile::StoredSmtpValues());
  const QString name = Fold(AValueName);
  const TTable* table = nullptr;
  switch (AKeyParts.size()) {
  case 0:
    table = &Options();
    break;
  case 1:
    table = &profileValues; // every profile, and the user's ".Default"
    break;
  case 2: {
    const QString sub = Fold(AKeyParts.at(1));
    if (sub == Fold(TBackupProfile::AlertEmailKey) || sub == Fold(TBackupProfile::LogEmailKey))
      table = &emailValues;
    else if (sub == Fold(TBackupProfile::SMTPSettingsKey))
      table = &smtpValues;
    else if (sub == Fold(TBackupProfile::ActiveProgramsKey))
      return {rdString, -1}; // one text per program, under any name
    break;
  }
  case 3: {
    const QString list = Fold(AKeyParts.at(1));
    if (list == Fold(TBackupProfile::FilesKey) || list == Fold(TBackupProfile::FileExclusionsKey))
      table = &entryValues;
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
