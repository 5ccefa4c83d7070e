// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TRegistry.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestRegistry : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void keysAndValues();
  void typesAreEnforced();
  void deleteRemovesTheSubtree();
  void randomTreesMatchAModel();
  void transactionCommitsOrLeavesTheHiveAsItWas();
  void userHiveIsPrivateAndDurable();
  void machineHiveIsReadOnlyForUsers();
  void damagedHiveIsReported();

private:
  std::unique_ptr<QTemporaryDir> FHome;
};

void TestRegistry::init()
{
  FHome = std::make_unique<QTemporaryDir>();
  QVERIFY(FHome->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome->filePath(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FHome->filePath(QStringLiteral("etc"))));
}

void TestRegistry::keysAndValues()
{
  {
    TRegistry reg;
    QVERIFY(!reg.OpenKey(QStringLiteral("\\Software\\Quenfield"), false));
    QVERIFY(reg.OpenKey(QStringLiteral("\\Software\\Quenfield\\Orvel"), true));
    QCOMPARE(reg.CurrentPath(), QStringLiteral("Software\\Quenfield\\Orvel"));
    reg.WriteString(QStringLiteral("Name"), QStringLiteral("Daily"));
    reg.WriteInteger(QStringLiteral("Count"), -7);
    reg.WriteBool(QStringLiteral("Enabled"), true);
    reg.WriteDateTime(QStringLiteral("When"), 45000.25);
    // Relative opening goes below the open key; names keep their spelling, compare without case.
    QVERIFY(reg.OpenKey(QStringLiteral("zeta"), true));
    QVERIFY(reg.OpenKey(QStringLiteral("\\software\\QUENFIELD\\orvel\\Alpha"), true));
    QVERIFY(reg.OpenKey(QStringLiteral("\\Software\\Quenfield\\Orvel\\beta"), true));
  }
  TRegistry reg;
  QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("\\SOFTWARE\\quenfield\\ORVEL")));
  QCOMPARE(reg.GetKeyNames(), (QStringList{"Alpha", "beta", "zeta"}));
  QCOMPARE(reg.GetValueNames(), (QStringList{"Name", "Count", "Enabled", "When"}));
  QVERIFY(reg.HasSubKeys());
  QCOMPARE(reg.ReadString(QStringLiteral("NAME")), QStringLiteral("Daily"));
  QCOMPARE(reg.ReadInteger(QStringLiteral("count")), -7);
  QCOMPARE(reg.ReadBool(QStringLiteral("Enabled")), true);
  QCOMPARE(reg.ReadDateTime(QStringLiteral("When")), 45000.25);
  QCOMPARE(reg.ReadBinaryData(QStringLiteral("When")).size(), 8);
  QVERIFY(reg.KeyExists(QStringLiteral("ALPHA")));
  QVERIFY(!reg.KeyExists(QStringLiteral("gamma")));
  QVERIFY(reg.ValueExists(QStringLiteral("name")));
  QVERIFY(reg.DeleteValue(QStringLiteral("name")));
  QVERIFY(!reg.ValueExists(QStringLiteral("Name")));
  QVERIFY(!reg.DeleteValue(QStringLiteral("Name")));
}

void TestRegistry::typesAreEnforced()
{
  TRegistry reg;
  QVERIFY(reg.OpenKey(QStringLiteral("\\T"), true));
  reg.WriteString(QStringLiteral("AlertDays"), QStringLiteral("seven"));
  reg.WriteInteger(QStringLiteral("Level"), 3);
  QCOMPARE(reg.GetDataType(QStringLiteral("AlertDays")), rdString);
  QCOMPARE(reg.GetDataType(QStringLiteral("Level")), rdInteger);
  QCOMPARE(reg.GetDataType(QStringLiteral("Missing")), rdUnknown);
  QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadInteger(QStringLiteral("AlertDays")));
  QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadString(QStringLiteral("Level")));
  QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadDateTime(QStringLiteral("Level")));
  QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadInteger(QStringLiteral("Missing")));
  QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadBinaryData(QStringLiteral("Missing")));
  QCOMPARE(reg.ReadString(QStringLiteral("Missing")), QString());
  // A value can change its type by being written again.
  reg.WriteInteger(QStringLiteral("AlertDays"), 7);
  QCOMPARE(reg.ReadInteger(QStringLiteral("AlertDays")), 7);
  try {
    reg.ReadString(QStringLiteral("AlertDays"));
    QFAIL("no exception");
  } catch (const ERegistryException& e) {
    QCOMPARE(e.Message(), QStringLiteral("Invalid data type for 'AlertDays'"));
  }
}

void TestRegistry::deleteRemovesTheSubtree()
{
  TRegistry reg;
  QVERIFY(reg.OpenKey(QStringLiteral("\\A\\B\\C"), true));
  reg.WriteString(QStringLiteral("x"), QStringLiteral("1"));
  QVERIFY(reg.OpenKey(QStringLiteral("\\A\\BB"), true));
  reg.WriteString(QStringLiteral("y"), QStringLiteral("2"));
  reg.CloseKey();
  QVERIFY(reg.DeleteKey(QStringLiteral("\\a\\b")));
  QVERIFY(!reg.KeyExists(QStringLiteral("\\A\\B\\C")));
  QVERIFY(reg.KeyExists(QStringLiteral("\\A\\BB"))); // a sibling sharing the prefix stays
  QVERIFY(reg.OpenKey(QStringLiteral("\\A\\B\\C"), true));
  QVERIFY(reg.GetValueNames().isEmpty()); // nothing of the old key survives
  QVERIFY(!reg.DeleteKey(QStringLiteral("\\Nowhere")));
}

void TestRegistry::randomTreesMatchAModel()
{
  // The model: every key by its folded path (its ancestors exist too), with the one value it holds.
  QMap<QString, QString> model;
  const QStringList names{QStringLiteral("Photos 📷"), QStringLiteral("📷"), QStringLiteral("ß"),
                          QStringLiteral("SS"),       QStringLiteral("a"), QStringLiteral("A"),
                          QStringLiteral("𝄞 Music"),  QStringLiteral("b")};
  const auto fold = [](const QString& APath) { return APath.toUpper(); };
  QRandomGenerator random(20261210);
  const auto randomPath = [&]() {
    QStringList parts;
    for (int depth = 1 + random.bounded(4); depth > 0; --depth)
      parts << names.at(random.bounded(names.size()));
    return parts.join(QLatin1Char('\\'));
  };

  TRegistry reg;
  for (int step = 0; step < 150; ++step) {
    const QString path = randomPath();
    if (random.bounded(3) != 0) {
      QVERIFY(reg.OpenKey(QLatin1Char('\\') + path, true));
      reg.WriteString(QStringLiteral("v"), path);
      const QStringList parts = fold(path).split(QLatin1Char('\\'));
      for (qsizetype i = 1; i < parts.size(); ++i)
        model.insert(parts.mid(0, i).join(QLatin1Char('\\')), model.value(parts.mid(0, i).join(QLatin1Char('\\'))));
      model.insert(fold(path), path);
    } else {
      const QString key = fold(path);
      const bool existed = model.contains(key);
      QCOMPARE(reg.DeleteKey(QLatin1Char('\\') + path), existed);
      for (auto it = model.begin(); it != model.end();)
        it = (it.key() == key || it.key().startsWith(key + QLatin1Char('\\'))) ? model.erase(it) : std::next(it);
    }
    reg.CloseKey();
    // Every key of the model, and only those, with its value.
    for (int probe = 0; probe < 8; ++probe) {
      const QString candidate = randomPath();
      QCOMPARE(reg.KeyExists(QLatin1Char('\\') + candidate), model.contains(fold(candidate)));
    }
    for (auto it = model.cbegin(); it != model.cend(); ++it) {
      QVERIFY2(reg.OpenKeyReadOnly(QLatin1Char('\\') + it.key()), qPrintable(it.key()));
      QCOMPARE(reg.ReadString(QStringLiteral("v")), it.value());
    }
  }
}

void TestRegistry::transactionCommitsOrLeavesTheHiveAsItWas()
{
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(QStringLiteral("\\P\\Old"), true));
    reg.WriteString(QStringLiteral("v"), QStringLiteral("before"));
  }
  // Rolled back: key creation, deletion and value writes inside the transaction all vanish.
  {
    TRegistry reg;
    QVERIFY(reg.BeginTransaction());
    QVERIFY(!reg.BeginTransaction()); // no nesting
    QVERIFY(reg.OpenKey(QStringLiteral("\\P\\New\\Deep"), true));
    reg.WriteInteger(QStringLiteral("n"), 5);
    QVERIFY(reg.DeleteKey(QStringLiteral("\\P\\Old")));
    QVERIFY(!reg.KeyExists(QStringLiteral("\\P\\Old")));
    reg.RollbackTransaction();
    QVERIFY(reg.KeyExists(QStringLiteral("\\P\\Old")));
    QVERIFY(!reg.KeyExists(QStringLiteral("\\P\\New")));
  }
  // Freed with the transaction open: nothing of it is stored either.
  {
    TRegistry reg;
    QVERIFY(reg.BeginTransaction());
    QVERIFY(reg.OpenKey(QStringLiteral("\\P\\Old"), false));
    reg.WriteString(QStringLiteral("v"), QStringLiteral("lost"));
  }
  {
    TRegistry reg;
    QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("\\P\\Old")));
    QCOMPARE(reg.ReadString(QStringLiteral("v")), QStringLiteral("before"));
  }
  // Committed: everything is there for another handle.
  {
    TRegistry reg;
    QVERIFY(reg.BeginTransaction());
    QVERIFY(reg.OpenKey(QStringLiteral("\\P\\New"), true));
    reg.WriteString(QStringLiteral("v"), QStringLiteral("after"));
    QVERIFY(reg.DeleteKey(QStringLiteral("\\P\\Old")));
    QVERIFY(reg.CommitTransaction());
    QVERIFY(!reg.CommitTransaction());
  }
  TRegistry reader;
  QVERIFY(!reader.KeyExists(QStringLiteral("\\P\\Old")));
  QVERIFY(reader.OpenKeyReadOnly(QStringLiteral("\\P\\New")));
  QCOMPARE(reader.ReadString(QStringLiteral("v")), QStringLiteral("after"));
}

void TestRegistry::userHiveIsPrivateAndDurable()
{
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(QStringLiteral("\\K"), true));
    reg.WriteString(QStringLiteral("v"), QStringLiteral("kept"));
  }
  const QString file = FHome->filePath(QStringLiteral("home/Corvale/registry.db"));
  struct stat info
  {};
  QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
  QCOMPARE(int(info.st_mode & 0777), 0600);
  {
    // A hive that was made readable by others (an older version, a copy) is private again once used.
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0644), 0);
    TRegistry reg;
    QVERIFY(reg.OpenKey(QStringLiteral("\\K"), true));
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 0777), 0600);
  }
  // A second handle sees the write at once: it is committed when the call returns.
  TRegistry writer;
  QVERIFY(writer.OpenKey(QStringLiteral("\\K"), false));
  writer.WriteInteger(QStringLiteral("n"), 42);
  TRegistry reader;
  QVERIFY(reader.OpenKeyReadOnly(QStringLiteral("\\K")));
  QCOMPARE(reader.ReadInteger(QStringLiteral("n")), 42);
  QCOMPARE(reader.ReadString(QStringLiteral("v")), QStringLiteral("kept"));
}

void TestRegistry::machineHiveIsReadOnlyForUsers()
{
  {
    TRegistry admin(HKEY_USERS);
    QVERIFY(admin.OpenKey(QStringLiteral("\\.Default\\Software"), true));
    admin.WriteString(QStringLiteral("Seed"), QStringLiteral("machine"));
  }
  {
    // HKEY_LOCAL_MACHINE shares the machine hive but not its keys.
    TRegistry machine(HKEY_LOCAL_MACHINE);
    QVERIFY(!machine.KeyExists(QStringLiteral("\\.Default")));
    TRegistry user;
    QVERIFY(!user.KeyExists(QStringLiteral("\\.Default")));
  }
  // The rest runs as an ordinary user: root may write anywhere.
  const QByteArray etc = QFile::encodeName(FHome->filePath(QStringLiteral("etc")));
  struct stat info
  {};
  QCOMPARE(::stat(QByteArray(etc + "/Corvale/registry.db").constData(), &info), 0);
  QCOMPARE(int(info.st_mode & 0777), 0644); // every user may read the machine's hive
  QCOMPARE(::chmod(QFile::encodeName(FHome->path()).constData(), 0755), 0);
  const pid_t child = ::fork();
  QVERIFY(child >= 0);
  if (child == 0) {
    if (::geteuid() == 0 && ::setuid(65534) != 0)
      ::_exit(10);
    if (::geteuid() != 0) {
      // As the owner, take the write bits away, as an administrator's hive would be.
      ::chmod(QByteArray(etc + "/Corvale/registry.db").constData(), 0444);
    }
    TRegistry reg(HKEY_USERS);
    if (!reg.OpenKeyReadOnly(QStringLiteral("\\.Default\\Software")))
      ::_exit(1);
    if (reg.ReadString(QStringLiteral("Seed")) != QStringLiteral("machine"))
      ::_exit(2);
    if (reg.OpenKey(QStringLiteral("\\.Default\\Software"), true))
      ::_exit(3);
    if (reg.OpenKey(QStringLiteral("\\.Default\\New"), true))
      ::_exit(4);
    ::_exit(0);
  }
  int status = 0;
  QCOMPARE(::waitpid(child, &status, 0), child);
  QVERIFY(WIFEXITED(status));
  QCOMPARE(WEXITSTATUS(status), 0);
}

void TestRegistry::damagedHiveIsReported()
{
  const QString file = FHome->filePath(QStringLiteral("home/Corvale/registry.db"));
  QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
  QFile damaged(file);
  QVERIFY(damaged.open(QIODevice::WriteOnly));
  damaged.write(QByteArray(4096, 'x'));
  damaged.close();
  TRegistry reg;
  QVERIFY(!reg.OpenKey(QStringLiteral("\\K"), true));
  QVERIFY(reg.ErrorText().contains(file));
  QCOMPARE(damaged.size(), 4096); // left as it was for the user to look at
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
