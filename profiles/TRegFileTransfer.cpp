// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TRegFileTransfer.h"

#include "platform/FileNames.h"
#include "platform/Posix.h"
#include "profiles/TRegFileLayout.h"
#include "settings/TApplicationOptions.h"

#include <cmath>
#include <cstring>

namespace {

const QString RootName = QStringLiteral("HKEY_CURRENT_USER");

// A date as stored: days since 30 December 1899, from 1 January of the year 1 (-693593) to
// the end of 31 December 9999 (2958466, exclusive).
bool IsStorableDate(const QByteArray& AData)
{
  double days = 0;
  std::memcpy(&days, AData.constData(), sizeof days);
  return std::isfinite(days) && days >= -693593.0 && days < 2958466.0;
}

} // namespace

TRegFileTransfer::TRegFileTransfer(const QString& AProgramKey)
  : FProgramParts(AProgramKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts))
{}

bool TRegFileTransfer::Fail(const QString& AMessage)
{
  FErrorText = AMessage;
  return false;
}

QString TRegFileTransfer::RegistryPath(const QStringList& AParts) const
{
  return QLatin1Char('\\') + (FProgramParts + AParts).join(QLatin1Char('\\'));
}

QString TRegFileTransfer::FilePath(const QStringList& AParts) const
{
  return (QStringList{RootName} + FProgramParts + AParts).join(QLatin1Char('\\'));
}

bool TRegFileTransfer::RelativeParts(const QString& APath, QStringList& AParts) const
{
  const QStringList parts = APath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  if (parts.isEmpty())
    return false;
  const QString root = parts.first().toUpper();
  if (root != RootName && root != QLatin1String("HKCU"))
    return false;
  if (parts.size() < 1 + FProgramParts.size())
    return false;
  for (qsizetype i = 0; i < FProgramParts.size(); ++i) {
    if (parts.at(i + 1).compare(FProgramParts.at(i), Qt::CaseInsensitive) != 0)
      return false;
  }
  AParts = parts.mid(1 + FProgramParts.size());
  return true;
}

void TRegFileTransfer::ReadKey(TRegistry& ARegistry, const QStringList& AParts, TRegFile& AFile)
{
  if (!ARegistry.OpenKeyReadOnly(RegistryPath(AParts)))
    return;
  TRegFile::TKey key;
  key.Path = FilePath(AParts);
  for (const QString& name : ARegistry.GetValueNames()) {
    TRegFile::TValue value;
    value.Name = name;
    value.Type = ARegistry.GetDataType(name);
    switch (value.Type) {
    case rdInteger:
      value.Data = ARegistry.ReadInteger(name);
      break;
    case rdBinary:
      value.Data = ARegistry.ReadBinaryData(name);
      break;
    default:
      value.Type = rdString;
      value.Data = ARegistry.ReadString(name);
      break;
    }
    key.Values.append(value);
  }
  const QStringList subKeys = ARegistry.GetKeyNames();
  AFile.Keys().append(key);
  for (const QString& subKey : subKeys)
    ReadKey(ARegistry, AParts + QStringList{subKey}, AFile);
}

bool TRegFileTransfer::Read(TRegFile& AFile)
{
  AFile.Keys().clear();
  TRegistry registry;
  if (!registry.ErrorText().isEmpty())
    return Fail(registry.ErrorText());
  try {
    ReadKey(registry, {}, AFile);
  } catch (const ERegistryException& error) {
    return Fail(error.Message());
  }
  return true;
}

bool TRegFileTransfer::Export(const QString& AFileName)
{
  FKeyCount = FValueCount = 0;
  TRegFile file;
  if (!Read(file))
    return false;
  const QByteArray data = file.ToBytes();

  // Written privately beside the target and renamed over it once complete, so the passwords
  // inside are never readable by others, not even for a moment.
  if (const int error = Posix::ReplaceFile(EncodeFileName(AFileName), data, 0600); error != 0)
    return Fail(QStringLiteral("Failed to write \"%1\": %2").arg(AFileName, Posix::ErrorText(error)));
  for (const TRegFile::TKey& key : file.Keys()) {
    ++FKeyCount;
    FValueCount += int(key.Values.size());
  }
  return true;
}

bool TRegFileTransfer::Check(const TRegFile& AFile)
{
  for (const TRegFile::TKey& key : AFile.Keys()) {
    QStringList parts;
    if (!RelativeParts(key.Path, parts))
      return Fail(QStringLiteral("Line %1: the key \"%2\" is not below %3").arg(key.Line).arg(key.Path, FilePath({})));
    for (const TRegFile::TValue& value : key.Values) {
      if (value.Delete)
        continue;
      const TRegFileLayout::TExpected expected = TRegFileLayout::Expected(parts, value.Name);
      if (expected.Type != rdUnknown && expected.Type != value.Type)
        return Fail(
            QStringLiteral("Line %1: the value \"%2\" must be %3, not %4")
                .arg(value.Line)
                .arg(value.Name, TRegFileLayout::KindText(expected.Type), TRegFileLayout::KindText(value.Type)));
      // Profiles are kept in the registry only; another storage would lose them.
      if (parts.isEmpty() && value.Type == rdInteger && value.Data.toInt() != 0 &&
          value.Name.compare(TApplicationOptions::Name(TOptionId::StorageType), Qt::CaseInsensitive) == 0)
        return Fail(QStringLiteral("Line %1: ").arg(value.Line) +
                    TApplicationOptions::StorageTypeRefused.arg(value.Data.toInt()));
      if (expected.Size >= 0 && value.Data.toByteArray().size() != expected.Size)
        return Fail(QStringLiteral("Line %1: the value \"%2\" must hold %3 bytes")
                        .arg(value.Line)
                        .arg(value.Name)
                        .arg(expected.Size));
      if (expected.Type == rdBinary && expected.Size == int(sizeof(double)) &&
          !IsStorableDate(value.Data.toByteArray()))
        return Fail(QStringLiteral("Line %1: the value \"%2\" is not a date between the years 1 and 9999")
                        .arg(value.Line)
                        .arg(value.Name));
    }
  }
  return true;
}

bool TRegFileTransfer::Apply(const TRegFile& AFile, bool AReplace)
{
  TRegistry registry;
  if (!registry.ErrorText().isEmpty())
    return Fail(registry.ErrorText());
  if (!registry.BeginTransaction())
    return Fail(QStringLiteral("The settings store cannot be written."));
  int keys = 0;
  int values = 0;
  try {
    if (AReplace)
      (void)registry.DeleteKey(RegistryPath({}));
    for (const TRegFile::TKey& key : AFile.Keys()) {
      QStringList parts;
      if (!RelativeParts(key.Path, parts))
        throw ERegistryException(
            QStringLiteral("Line %1: the key \"%2\" is not below %3").arg(key.Line).arg(key.Path, FilePath({})));
      ++keys;
      if (key.Delete) {
        // Deleting a key that is not there is no fault, as in the registry editor.
        (void)registry.DeleteKey(RegistryPath(parts));
        continue;
      }
      if (!registry.OpenKey(RegistryPath(parts), true))
        throw ERegistryException(
            QStringLiteral("Line %1: the key \"%2\" cannot be created").arg(key.Line).arg(key.Path));
      for (const TRegFile::TValue& value : key.Values) {
        ++values;
        if (value.Delete) {
          (void)registry.DeleteValue(value.Name);
          continue;
        }
        switch (value.Type) {
        case rdInteger:
          registry.WriteInteger(value.Name, value.Data.toInt());
          break;
        case rdBinary:
          registry.WriteBinaryData(value.Name, value.Data.toByteArray());
          break;
        default:
          registry.WriteString(value.Name, value.Data.toString());
          break;
        }
      }
    }
  } catch (const ERegistryException& error) {
    registry.RollbackTransaction();
    return Fail(error.Message());
  }
  if (!registry.CommitTransaction())
    return Fail(QStringLiteral("The settings store cannot be written."));
  FKeyCount = keys;
  FValueCount = values;
  return true;
}

bool TRegFileTransfer::Import(const QString& AFileName, bool AReplace)
{
  FKeyCount = FValueCount = 0;
  QByteArray data;
  // One byte over the bound is enough for the parser to refuse the file.
  if (const int error = Posix::ReadFile(AFileName, data, TRegFile::MaxFileSize + 1); error != 0)
    return Fail(QStringLiteral("Failed to read \"%1\": %2").arg(AFileName, Posix::ErrorText(error)));
  TRegFile file;
  if (!file.Parse(data))
    return Fail(file.ErrorText());
  return Check(file) && Apply(file, AReplace);
}
