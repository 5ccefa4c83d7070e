// SPDX-License-Identifier: GPL-3.0-or-later
// One hive of the key store: an SQLite database file holding keys and typed values.
// The layout is described in docs/key-store.md.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

struct sqlite3;

class TKeyStore
{
public:
  enum TValueType : int { vtNone = 0, vtString = 1, vtBinary = 3, vtDWord = 4 };
  static constexpr int SchemaVersion = 1;

  // Opens the hive file; AWritable false opens it read-only and never creates it. A new file
  // gets AMode (the user's hive is private, the machine's is readable by everyone).
  TKeyStore(const QString& AFileName, bool AWritable, int AMode = 0600);
  ~TKeyStore();
  TKeyStore(const TKeyStore&) = delete;
  TKeyStore& operator=(const TKeyStore&) = delete;

  bool IsOpen() const { return FDatabase != nullptr; }
  bool IsWritable() const { return FWritable; }
  const QString& ErrorText() const { return FErrorText; }

  // Paths are folded (upper-case) key paths below a root, parts joined by "\", "" is the root.
  [[nodiscard]] bool KeyExists(int ARoot, const QString& APath);
  // Creates the key and every missing key above it; ANames carries the original spelling.
  [[nodiscard]] bool CreateKey(int ARoot, const QStringList& ANames);
  [[nodiscard]] bool DeleteKey(int ARoot, const QString& APath);
  QStringList SubKeyNames(int ARoot, const QString& APath);
  QStringList ValueNames(int ARoot, const QString& APath);

  // Type vtNone when the value is absent.
  TValueType ValueType(int ARoot, const QString& APath, const QString& AName);
  QVariant ValueData(int ARoot, const QString& APath, const QString& AName);
  [[nodiscard]] bool SetValue(int ARoot, const QString& APath, const QString& AName, TValueType AType,
                              const QVariant& AData);
  [[nodiscard]] bool DeleteValue(int ARoot, const QString& APath, const QString& AName);

  // Groups the writes that follow into one transaction: none of them reaches the file until the
  // commit, and a rollback leaves the file as it was before the begin.
  [[nodiscard]] bool BeginTransaction();
  [[nodiscard]] bool CommitTransaction();
  void RollbackTransaction();

  static QString Fold(const QString& AName) { return AName.toUpper(); }

private:
  bool Execute(const char* ASql);
  bool Upgrade();
  void Rollback();
  // A change of several statements: its own transaction, or a savepoint inside an open one.
  bool BeginChange();
  bool EndChange(bool AOk);
  void Fail(const QString& AWhat);

  sqlite3* FDatabase = nullptr;
  bool FWritable = false;
  bool FChangeInTransaction = false;
  QString FFileName;
  QString FErrorText;
};
