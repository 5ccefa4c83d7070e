// SPDX-License-Identifier: GPL-3.0-or-later
// TRegistry over the SQLite key store: HKEY_CURRENT_USER in the user's hive, HKEY_USERS and
// HKEY_LOCAL_MACHINE in the machine-wide hive.
#include "platform/Folders.h"
#include "platform/TRegistry.h"
#include "platform/linux/TKeyStore.h"

#include <QFileInfo>

#include <cstring>

#include <unistd.h>

namespace {

const QString HiveName = QStringLiteral("/Corvale/registry.db");

bool MayWrite(const QString& AFileName)
{
  const QFileInfo info(AFileName);
  const QByteArray target = QFile::encodeName(info.exists() ? AFileName : info.absolutePath());
  if (info.exists())
    return ::access(target.constData(), W_OK) == 0 &&
           ::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) == 0;
  // A missing hive can be created only where its folder (or the folder above) is writable.
  QFileInfo folder(info.absolutePath());
  while (!folder.exists() && folder.absoluteFilePath() != folder.absolutePath())
    folder = QFileInfo(folder.absolutePath());
  return ::access(QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK) == 0;
}

} // namespace

struct TRegistry::TPrivate
{
  THKey Root = HKEY_CURRENT_USER;
  std::unique_ptr<TKeyStore> Store;
  bool KeyOpen = false;
  QStringList Names; // the open key's parts as given

  TKeyStore* Hive()
  {
    if (!Store) {
      if (Root == HKEY_CURRENT_USER) {
        Store = std::make_unique<TKeyStore>(ConfigHomeFolder() + HiveName, true);
      } else {
        const QString fileName = ConfigDirectories().value(0) + HiveName;
        Store = std::make_unique<TKeyStore>(fileName, MayWrite(fileName), 0644);
      }
    }
    return Store.get();
  }

  // The parts of AKey: from the root when it starts with "\", else below the open key.
  QStringList Resolve(const QString& AKey) const
  {
    QStringList parts = AKey.startsWith(QLatin1Char('\\')) || !KeyOpen ? QStringList() : Names;
    parts << AKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts;
  }

  static QString Folded(const QStringList& AParts) { return TKeyStore::Fold(AParts.join(QLatin1Char('\\'))); }

  QString Path() const { return KeyOpen ? Folded(Names) : QString(); }
};

TRegistry::TRegistry(THKey ARootKey)
  : d(std::make_unique<TPrivate>())
{
  d->Root = ARootKey;
}

TRegistry::~TRegistry() = default;

THKey TRegistry::RootKey() const
{
  return d->Root;
}

void TRegistry::SetRootKey(THKey ARootKey)
{
  CloseKey();
  if ((ARootKey == HKEY_CURRENT_USER) != (d->Root == HKEY_CURRENT_USER))
    d->Store.reset();
  d->Root = ARootKey;
}

QString TRegistry::ErrorText()
{
  return d->Hive()->ErrorText();
}

bool TRegistry::OpenKey(const QString& AKey, bool ACanCreate)
{
  const QStringList parts = d->Resolve(AKey);
  CloseKey();
  TKeyStore* hive = d->Hive();
  if (!hive->IsOpen())
    return false;
  if (ACanCreate) {
    // Creation needs write access to the hive even when the key exists, as on Windows.
    if (!hive->CreateKey(d->Root, parts))
      return false;
  } else if (!hive->KeyExists(d->Root, TPrivate::Folded(parts))) {
    return false;
  }
  d->Names = parts;
  d->KeyOpen = true;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const QString& AKey)
{
  const QStringList parts = d->Resolve(AKey);
  CloseKey();
  TKeyStore* hive = d->Hive();
  if (!hive->IsOpen() || !hive->KeyExists(d->Root, TPrivate::Folded(parts)))
    return false;
  d->Names = parts;
  d->KeyOpen = true;
  return true;
}

void TRegistry::CloseKey()
{
  d->KeyOpen = false;
  d->Names.clear();
}

QString TRegistry::CurrentPath() const
{
  return d->KeyOpen ? d->Names.join(QLatin1Char('\\')) : QString();
}

bool TRegistry::BeginTransaction()
{
  TKeyStore* hive = d->Hive();
  return hive->IsOpen() && hive->BeginTransaction();
}

bool TRegistry::CommitTransaction()
{
  TKeyStore* hive = d->Hive();
  return hive->IsOpen() && hive->CommitTransaction();
}

void TRegistry::RollbackTransaction()
{
  TKeyStore* hive = d->Hive();
  if (hive->IsOpen())
    hive->RollbackTransaction();
}

bool TRegistry::KeyExists(const QString& AKey)
{
  TKeyStore* hive = d->Hive();
  return hive->IsOpen() && hive->KeyExists(d->Root, TPrivate::Folded(d->Resolve(AKey)));
}

bool TRegistry::DeleteKey(const QString& AKey)
{
  TKeyStore* hive = d->Hive();
  return hive->IsOpen() && hive->DeleteKey(d->Root, TPrivate::Folded(d->Resolve(AKey)));
}

QStringList TRegistry::GetKeyNames()
{
  TKeyStore* hive = d->Hive();
  return hive->IsOpen() ? hive->SubKeyNames(d->Root, d->Path()) : QStringList();
}

QStringList TRegistry::GetValueNames()
{
  TKeyStore* hive = d->Hive();
  return hive->IsOpen() ? hive->ValueNames(d->Root, d->Path()) : QStringList();
}

bool TRegistry::HasSubKeys()
{
  return !GetKeyNames().isEmpty();
}

bool TRegistry::ValueExists(const QString& AName)
{
  TKeyStore* hive = d->Hive();
  return hive->IsOpen() && hive->ValueType(d->Root, d->Path(), AName) != TKeyStore::vtNone;
}

bool TRegistry::DeleteValue(const QString& AName)
{
  TKeyStore* hive = d->Hive();
  return hive->IsOpen() && hive->DeleteValue(d->Root, d->Path(), AName);
}

TRegDataType TRegistry::GetDataType(const QString& AName)
{
  TKeyStore* hive = d->Hive();
  if (!hive->IsOpen())
    return rdUnknown;
  switch (hive->ValueType(d->Root, d->Path(), AName)) {
  case TKeyStore::vtString:
    return rdString;
  case TKeyStore::vtDWord:
    return rdInteger;
  case TKeyStore::vtBinary:
    return rdBinary;
  default:
    return rdUnknown;
  }
}

namespace {

[[noreturn]] void RaiseNoData(const QString& AName)
{
  throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(AName));
}

[[noreturn]] void RaiseType(const QString& AName)
{
  throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(AName));
}

[[noreturn]] void RaiseWrite(const QString& AName)
{
  throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(AName));
}

} // namespace

QString TRegistry::ReadString(const QString& AName)
{
  const TRegDataType type = GetDataType(AName);
  if (type == rdUnknown)
    return {};
  if (type != rdString)
    RaiseType(AName);
  return d->Hive()->ValueData(d->Root, d->Path(), AName).toString();
}

int TRegistry::ReadInteger(const QString& AName)
{
  const TRegDataType type = GetDataType(AName);
  if (type == rdUnknown)
    RaiseNoData(AName);
  if (type != rdInteger)
    RaiseType(AName);
  return d->Hive()->ValueData(d->Root, d->Path(), AName).toInt();
}

bool TRegistry::ReadBool(const QString& AName)
{
  return ReadInteger(AName) != 0;
}

TDateTime TRegistry::ReadDateTime(const QString& AName)
{
  const QByteArray data = ReadBinaryData(AName);
  if (data.size() != int(sizeof(double)))
    RaiseType(AName);
  // Stored little-endian; this code runs on little-endian hosts only (x86-64, arm64).
  static_assert(QSysInfo::ByteOrder == QSysInfo::LittleEndian);
  double value = 0;
  std::memcpy(&value, data.constData(), sizeof value);
  return value;
}

QByteArray TRegistry::ReadBinaryData(const QString& AName)
{
  const TRegDataType type = GetDataType(AName);
  if (type == rdUnknown)
    RaiseNoData(AName);
  if (type != rdBinary)
    RaiseType(AName);
  return d->Hive()->ValueData(d->Root, d->Path(), AName).toByteArray();
}

void TRegistry::WriteString(const QString& AName, const QString& AValue)
{
  if (!d->Hive()->SetValue(d->Root, d->Path(), AName, TKeyStore::vtString, AValue))
    RaiseWrite(AName);
}

void TRegistry::WriteInteger(const QString& AName, int AValue)
{
  if (!d->Hive()->SetValue(d->Root, d->Path(), AName, TKeyStore::vtDWord, AValue))
    RaiseWrite(AName);
}

void TRegistry::WriteBool(const QString& AName, bool AValue)
{
  WriteInteger(AName, AValue ? 1 : 0);
}

void TRegistry::WriteDateTime(const QString& AName, TDateTime AValue)
{
  QByteArray data(int(sizeof AValue), '\0');
  std::memcpy(data.data(), &AValue, sizeof AValue);
  WriteBinaryData(AName, data);
}

void TRegistry::WriteBinaryData(const QString& AName, const QByteArray& AValue)
{
  if (!d->Hive()->SetValue(d->Root, d->Path(), AName, TKeyStore::vtBinary, AValue))
    RaiseWrite(AName);
}
