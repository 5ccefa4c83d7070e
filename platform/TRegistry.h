// SPDX-License-Identifier: GPL-3.0-or-later
// The registry the program keeps its profiles and options in: hives of keys holding typed values.
//
// HKEY_CURRENT_USER is the user's own hive ($XDG_CONFIG_HOME/Corvale/); HKEY_USERS and
// HKEY_LOCAL_MACHINE live in the machine-wide hive (the first folder of $XDG_CONFIG_DIRS,
// Corvale/), which an administrator seeds and users only read: opening a key there with creation
// fails for them, as it does on Windows. Key and value names compare without regard to case,
// sub-keys enumerate sorted without regard to case, and every write is on disk before the call
// returns.
#pragma once

#include "platform/ECorvaleError.h"
#include "types/SharedTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

enum THKey : int { HKEY_CURRENT_USER = 0, HKEY_USERS = 1, HKEY_LOCAL_MACHINE = 2 };

enum TRegDataType : int { rdUnknown = 0, rdString = 1, rdInteger = 2, rdBinary = 3 };

// Raised where a value cannot be read as asked: a missing value read as a number or a date
// ("Failed to get data for '%s'"), a value of another type ("Invalid data type for '%s'"), or a
// write that did not reach the disk ("Failed to set data for '%s'").
class ERegistryException : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};

class TRegistry
{
public:
  explicit TRegistry(THKey ARootKey = HKEY_CURRENT_USER);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  THKey RootKey() const;
  void SetRootKey(THKey ARootKey); // closes the open key

  // A path beginning with "\" starts at the root; any other is relative to the open key.
  // Opening a key closes the one that was open. False when the key does not exist (and
  // ACanCreate is false) or cannot be created.
  bool OpenKey(const QString& AKey, bool ACanCreate);
  bool OpenKeyReadOnly(const QString& AKey);
  void CloseKey();
  // The open key's path from the root, without a leading "\"; empty when none is open.
  QString CurrentPath() const;
  // Why the hive cannot be used (damaged, foreign or unreadable file), empty when it can: the
  // caller shows it and goes on with defaults; the file is left as it is.
  QString ErrorText();

  // Groups the writes to this root's hive that follow into one transaction: nothing of them is
  // stored until the commit, and a rollback (or freeing the registry first) leaves the hive as it
  // was. Other programs wait for the hive meanwhile.
  [[nodiscard]] bool BeginTransaction();
  [[nodiscard]] bool CommitTransaction();
  void RollbackTransaction();

  bool KeyExists(const QString& AKey);
  bool DeleteKey(const QString& AKey); // the key and everything below it
  QStringList GetKeyNames();           // sub-keys of the open key
  QStringList GetValueNames();         // values of the open key
  bool HasSubKeys();

  bool ValueExists(const QString& AName);
  bool DeleteValue(const QString& AName);
  TRegDataType GetDataType(const QString& AName);

  // ReadString of a missing value gives an empty string; ReadInteger, ReadBool, ReadDateTime
  // and ReadBinaryData of a missing value raise. Every read of a value of another type raises.
  QString ReadString(const QString& AName);
  int ReadInteger(const QString& AName);
  bool ReadBool(const QString& AName);          // REG_DWORD, not 0 = true
  TDateTime ReadDateTime(const QString& AName); // REG_BINARY, 8 bytes, little-endian double
  QByteArray ReadBinaryData(const QString& AName);

  void WriteString(const QString& AName, const QString& AValue);
  void WriteInteger(const QString& AName, int AValue);
  void WriteBool(const QString& AName, bool AValue); // REG_DWORD 0 or 1
  void WriteDateTime(const QString& AName, TDateTime AValue);
  void WriteBinaryData(const QString& AName, const QByteArray& AValue);

private:
  struct TPrivate;
  std::unique_ptr<TPrivate> d;
};
