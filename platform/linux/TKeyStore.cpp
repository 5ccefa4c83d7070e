// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TKeyStore.h"

#include "platform/Posix.h"
#include "platform/TFileDescriptor.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Steps from one schema version to the next; step i brings version i to i + 1.
const char* const UpgradeSteps[] = {
    "CREATE TABLE meta(name TEXT PRIMARY KEY, value INTEGER NOT NULL);"
    "INSERT INTO meta(name, value) VALUES('schema', 1);"
    "CREATE TABLE keys(root INTEGER NOT NULL, path TEXT NOT NULL, parent TEXT NOT NULL,"
    " name TEXT NOT NULL, PRIMARY KEY(root, path));"
    "CREATE INDEX keys_parent ON keys(root, parent);"
    "CREATE TABLE vals(root INTEGER NOT NULL, path TEXT NOT NULL, folded TEXT NOT NULL,"
    " name TEXT NOT NULL, type INTEGER NOT NULL, data BLOB, PRIMARY KEY(root, path, folded));",
};

class TStatement
{
public:
  TStatement(sqlite3* ADatabase, const char* ASql)
  {
    if (ADatabase && sqlite3_prepare_v2(ADatabase, ASql, -1, &FStatement, nullptr) != SQLITE_OK)
      FStatement = nullptr;
  }
  ~TStatement() { sqlite3_finalize(FStatement); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  bool IsValid() const { return FStatement != nullptr; }
  TStatement& Bind(int AIndex, int AValue)
  {
    sqlite3_bind_int(FStatement, AIndex, AValue);
    return *this;
  }
  TStatement& Bind(int AIndex, const QString& AValue)
  {
    const QByteArray text = AValue.toUtf8();
    sqlite3_bind_text(FStatement, AIndex, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  TStatement& BindBlob(int AIndex, const QByteArray& AValue)
  {
    sqlite3_bind_blob(FStatement, AIndex, AValue.constData(), int(AValue.size()), SQLITE_TRANSIENT);
    return *this;
  }
  int Step() { return FStatement ? sqlite3_step(FStatement) : SQLITE_ERROR; }
  QString Text(int AColumn) const
  {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(FStatement, AColumn)),
                             sqlite3_column_bytes(FStatement, AColumn));
  }
  int Integer(int AColumn) const { return sqlite3_column_int(FStatement, AColumn); }
  QByteArray Blob(int AColumn) const
  {
    const void* data = sqlite3_column_blob(FStatement, AColumn);
    return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(FStatement, AColumn));
  }

private:
  sqlite3_stmt* FStatement = nullptr;
};

void SortNames(QStringList& ANames)
{
  std::sort(ANames.begin(), ANames.end(),
            [](const QString& A, const QString& B) { return TKeyStore::Fold(A) < TKeyStore::Fold(B); });
}

} // namespace

TKeyStore::TKeyStore(const QString& AFileName, bool AWritable, int AMode)
  : FWritable(AWritable)
  , FFileName(AFileName)
{
  const QByteArray name = QFile::encodeName(AFileName);
  if (AWritable) {
    if (!QDir().mkpath(QFileInfo(AFileName).absolutePath())) {
      Fail(QStringLiteral("cannot create its folder"));
      return;
    }
    // Created here so that the file (and SQLite's journal, which copies its mode) gets its mode.
    int error = 0;
    TFileDescriptor file = TFileDescriptor::Open(name, O_RDWR | O_CREAT, static_cast<mode_t>(AMode), error);
    if (!file.IsOpen()) {
      Fail(Posix::ErrorText(error));
      return;
    }
    // A private hive holds passwords: one that is looser (made by an older version, copied in)
    // is made private again when it is ours.
    struct stat info = {};
    if ((AMode & 077) == 0 && ::fstat(file.Fd(), &info) == 0 && (info.st_mode & 077) != 0 && info.st_uid == ::geteuid())
      (void)::fchmod(file.Fd(), static_cast<mode_t>(AMode));
  } else if (!QFileInfo::exists(AFileName)) {
    // A machine-wide hive nobody has seeded reads as empty; that is no error.
    return;
  }
  const int flags = AWritable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  if (sqlite3_open_v2(name.constData(), &FDatabase, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
    Fail(QString::fromUtf8(sqlite3_errmsg(FDatabase)));
    return;
  }
  sqlite3_busy_timeout(FDatabase, 15000);
  // A rollback journal with full syncs: every committed write is on disk, and a read-only
  // hive can be read without creating any side file.
  if (!Execute("PRAGMA synchronous=FULL") || !Upgrade())
    return;
}

TKeyStore::~TKeyStore()
{
  sqlite3_close(FDatabase);
}

void TKeyStore::Fail(const QString& AWhat)
{
  FErrorText = QStringLiteral("The settings store \"%1\" cannot be used (%2). It was left as it "
                              "is; the program goes on with default settings.")
                   .arg(FFileName, AWhat);
  sqlite3_close_v2(FDatabase);
  FDatabase = nullptr;
}

bool TKeyStore::Execute(const char* ASql)
{
  char* message = nullptr;
  if (sqlite3_exec(FDatabase, ASql, nullptr, nullptr, &message) == SQLITE_OK)
    return true;
  const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(FDatabase));
  sqlite3_free(message);
  Rollback();
  Fail(text);
  return false;
}

void TKeyStore::Rollback()
{
  if (FDatabase && !sqlite3_get_autocommit(FDatabase))
    sqlite3_exec(FDatabase, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool TKeyStore::Upgrade()
{
  // Reading the schema first makes a damaged file or a foreign one fail before anything is
  // written to it.
  if (!Execute(FWritable ? "BEGIN IMMEDIATE" : "BEGIN"))
    return false;
  int version = 0;
  {
    TStatement exists(FDatabase, "SELECT count(*) FROM sqlite_master WHERE name='meta'");
    if (!exists.IsValid() || exists.Step() != SQLITE_ROW) {
      const QString text = QString::fromUtf8(sqlite3_errmsg(FDatabase));
      Rollback();
      Fail(text);
      return false;
    }
    if (exists.Integer(0) > 0) {
      TStatement read(FDatabase, "SELECT value FROM meta WHERE name='schema'");
      if (read.Step() != SQLITE_ROW) {
        Rollback();
        Fail(QStringLiteral("no schema version"));
        return false;
      }
      version = read.Integer(0);
    }
  }
  if (version > SchemaVersion) {
    Rollback();
    Fail(QStringLiteral("written by a newer version of the program"));
    return false;
  }
  if (version < SchemaVersion && !FWritable) {
    // An older or empty machine-wide hive reads as empty; only its owner can upgrade it.
    Rollback();
    if (version > 0) {
      Fail(QStringLiteral("older schema, read-only"));
      return false;
    }
    sqlite3_close_v2(FDatabase);
    FDatabase = nullptr;
    return false;
  }
  for (; version < SchemaVersion; ++version) {
    if (!Execute(UpgradeSteps[version]))
      return false;
  }
  if (version > 1) {
    TStatement write(FDatabase, "UPDATE meta SET value=? WHERE name='schema'");
    write.Bind(1, version);
    if (write.Step() != SQLITE_DONE) {
      const QString text = QString::fromUtf8(sqlite3_errmsg(FDatabase));
      Rollback();
      Fail(text);
      return false;
    }
  }
  return Execute("COMMIT");
}

bool TKeyStore::KeyExists(int ARoot, const QString& APath)
{
  if (APath.isEmpty())
    return true;
  TStatement query(FDatabase, "SELECT 1 FROM keys WHERE root=? AND path=?");
  query.Bind(1, ARoot).Bind(2, APath);
  return query.Step() == SQLITE_ROW;
}

bool TKeyStore::CreateKey(int ARoot, const QStringList& ANames)
{
  if (!FDatabase || !FWritable)
    return false;
  if (!BeginChange())
    return false;
  QString path;
  for (const QString& name : ANames) {
    const QString parent = path;
    path = path.isEmpty() ? Fold(name) : QString(path + QLatin1Char('\\') + Fold(name));
    TStatement insert(FDatabase, "INSERT OR IGNORE INTO keys(root, path, parent, name) VALUES(?,?,?,?)");
    insert.Bind(1, ARoot).Bind(2, path).Bind(3, parent).Bind(4, name);
    if (insert.Step() != SQLITE_DONE)
      return EndChange(false);
  }
  return EndChange(true);
}

bool TKeyStore::DeleteKey(int ARoot, const QString& APath)
{
  if (!FDatabase || !FWritable || APath.isEmpty() || !KeyExists(ARoot, APath))
    return false;
  if (!BeginChange())
    return false;
  const QString below = APath + QLatin1Char('\\');
  bool ok = true;
  for (const char* sql : {"DELETE FROM keys WHERE root=? AND (path=? OR substr(path,1,?)=?)",
                          "DELETE FROM vals WHERE root=? AND (path=? OR substr(path,1,?)=?)"}) {
    TStatement remove(FDatabase, sql);
    // SQLite's substr counts characters, not UTF-16 units: "📷" is one character, two units.
    remove.Bind(1, ARoot).Bind(2, APath).Bind(3, int(below.toUcs4().size())).Bind(4, below);
    ok = ok && remove.Step() == SQLITE_DONE;
  }
  return EndChange(ok);
}

QStringList TKeyStore::SubKeyNames(int ARoot, const QString& APath)
{
  QStringList result;
  TStatement query(FDatabase, "SELECT name FROM keys WHERE root=? AND parent=?");
  query.Bind(1, ARoot).Bind(2, APath);
  while (query.Step() == SQLITE_ROW)
    result << query.Text(0);
  SortNames(result);
  return result;
}

QStringList TKeyStore::ValueNames(int ARoot, const QString& APath)
{
  QStringList result;
  TStatement query(FDatabase, "SELECT name FROM vals WHERE root=? AND path=? ORDER BY rowid");
  query.Bind(1, ARoot).Bind(2, APath);
  while (query.Step() == SQLITE_ROW)
    result << query.Text(0);
  return result;
}

TKeyStore::TValueType TKeyStore::ValueType(int ARoot, const QString& APath, const QString& AName)
{
  TStatement query(FDatabase, "SELECT type FROM vals WHERE root=? AND path=? AND folded=?");
  query.Bind(1, ARoot).Bind(2, APath).Bind(3, Fold(AName));
  return query.Step() == SQLITE_ROW ? TValueType(query.Integer(0)) : vtNone;
}

QVariant TKeyStore::ValueData(int ARoot, const QString& APath, const QString& AName)
{
  TStatement query(FDatabase, "SELECT type, data FROM vals WHERE root=? AND path=? AND folded=?");
  query.Bind(1, ARoot).Bind(2, APath).Bind(3, Fold(AName));
  if (query.Step() != SQLITE_ROW)
    return {};
  switch (query.Integer(0)) {
  case vtString:
    return query.Text(1);
  case vtDWord:
    return query.Integer(1);
  default:
    return query.Blob(1);
  }
}

bool TKeyStore::SetValue(int ARoot, const QString& APath, const QString& AName, TValueType AType, const QVariant& AData)
{
  if (!FDatabase || !FWritable)
    return false;
  TStatement write(FDatabase, "INSERT INTO vals(root, path, folded, name, type, data) VALUES(?,?,?,?,?,?) "
                              "ON CONFLICT(root, path, folded) DO UPDATE SET type=excluded.type, "
                              "data=excluded.data");
  write.Bind(1, ARoot).Bind(2, APath).Bind(3, Fold(AName)).Bind(4, AName).Bind(5, int(AType));
  if (AType == vtString)
    write.Bind(6, AData.toString());
  else if (AType == vtDWord)
    write.Bind(6, AData.toInt());
  else
    write.BindBlob(6, AData.toByteArray());
  return write.Step() == SQLITE_DONE;
}

bool TKeyStore::DeleteValue(int ARoot, const QString& APath, const QString& AName)
{
  if (!FDatabase || !FWritable)
    return false;
  TStatement remove(FDatabase, "DELETE FROM vals WHERE root=? AND path=? AND folded=?");
  remove.Bind(1, ARoot).Bind(2, APath).Bind(3, Fold(AName));
  return remove.Step() == SQLITE_DONE && sqlite3_changes(FDatabase) > 0;
}

bool TKeyStore::BeginChange()
{
  if (sqlite3_get_autocommit(FDatabase))
    return sqlite3_exec(FDatabase, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  FChangeInTransaction = true;
  return sqlite3_exec(FDatabase, "SAVEPOINT change", nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool TKeyStore::EndChange(bool AOk)
{
  const bool nested = FChangeInTransaction;
  FChangeInTransaction = false;
  if (nested) {
    if (!AOk)
      sqlite3_exec(FDatabase, "ROLLBACK TO change", nullptr, nullptr, nullptr);
    return sqlite3_exec(FDatabase, "RELEASE change", nullptr, nullptr, nullptr) == SQLITE_OK && AOk;
  }
  if (AOk && sqlite3_exec(FDatabase, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
    return true;
  sqlite3_exec(FDatabase, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

bool TKeyStore::BeginTransaction()
{
  if (!FDatabase || !FWritable || !sqlite3_get_autocommit(FDatabase))
    return false;
  return sqlite3_exec(FDatabase, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool TKeyStore::CommitTransaction()
{
  if (!FDatabase || sqlite3_get_autocommit(FDatabase))
    return false;
  if (sqlite3_exec(FDatabase, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
    return true;
  Rollback();
  return false;
}

void TKeyStore::RollbackTransaction()
{
  Rollback();
}
