// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestHome.h"
#include "platform/TRegistry.h"
#include "settings/TProgramSettings.h"

#include <QTest>

#include <csignal>

namespace {

const QString Key = QStringLiteral("\\Software\\Quenfield\\Orvel");
constexpr int Values = 32;

std::unique_ptr<TProgramSettings> NewStore(TSettingsStore AStore, const QString& AINIFileName)
{
  auto settings = std::make_unique<TProgramSettings>();
  settings->SetSettingsStore(AStore);
  settings->SetSettingsKey(Key);
  settings->SetINIFileName(AINIFileName);
  for (int i = 0; i < Values; ++i)
    settings->Add(QStringLiteral("Value%1").arg(i), i % 2 ? vtPassword : vtInteger, 0);
  return settings;
}

// Round r writes r + i into value i (as text for the passwords).
void SetRound(TProgramSettings& ASettings, int ARound)
{
  for (int i = 0; i < Values; ++i) {
    const QVariant value = i % 2 ? QVariant(QString::number(ARound + i)) : QVariant(ARound + i);
    ASettings.SetValueByName(QStringLiteral("Value%1").arg(i), value);
  }
}

} // namespace

class TestSettingsReliability : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void killedWhileSaving_data();
  void killedWhileSaving();
  void processesWritingAtOnceLoseNothing_data();
  void processesWritingAtOnceLoseNothing();

private:
  QString INIFileName() const { return FHome->Path(QStringLiteral("settings.ini")); }

  std::unique_ptr<TTestHome> FHome;
};

void TestSettingsReliability::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
}

void TestSettingsReliability::killedWhileSaving_data()
{
  QTest::addColumn<int>("store");
  QTest::newRow("registry") << int(ssRegistry);
  QTest::newRow("ini") << int(ssINIFile);
}

void TestSettingsReliability::killedWhileSaving()
{
  QFETCH(int, store);
  for (int attempt = 0; attempt < 4; ++attempt) {
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
      // Saves round after round until it is killed, somewhere in the middle of a save.
      ::close(ready[0]);
      auto settings = NewStore(TSettingsStore(store), INIFileName());
      for (int round = 1;; ++round) {
        SetRound(*settings, round * 1000);
        settings->SaveSettings();
        if (round == 2 && ::write(ready[1], "x", 1) != 1)
          ::_exit(1);
      }
    }
    ::close(ready[1]);
    char byte = 0;
    QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
    ::close(ready[0]);
    QTest::qSleep(attempt * 7);
    QCOMPARE(::kill(child, SIGKILL), 0);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));

    // The store opens, and every value is one the child wrote in full.
    auto settings = NewStore(TSettingsStore(store), INIFileName());
    QCOMPARE(settings->StoreErrorText(), QString());
    settings->LoadSettings();
    for (int i = 0; i < Values; ++i) {
      const int value = settings->GetValueByName(QStringLiteral("Value%1").arg(i)).toString().toInt();
      QVERIFY2(value >= 2000 && (value - i) % 1000 == 0, qPrintable(QString::number(value)));
    }
    // And it takes the next save: no lock or journal of the dead process is in the way.
    SetRound(*settings, 0);
    settings->SaveSettings();
    settings->LoadSettings();
    QCOMPARE(settings->GetValueByName(QStringLiteral("Value2")), QVariant(2));
  }
}

void TestSettingsReliability::processesWritingAtOnceLoseNothing_data()
{
  killedWhileSaving_data();
}

void TestSettingsReliability::processesWritingAtOnceLoseNothing()
{
  QFETCH(int, store);
  QList<pid_t> children;
  for (int writer = 0; writer < 2; ++writer) {
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
      TProgramSettings settings;
      settings.SetSettingsStore(TSettingsStore(store));
      settings.SetSettingsKey(Key);
      settings.SetINIFileName(INIFileName());
      try {
        for (int i = 0; i < 25; ++i) {
          settings.SaveCustomValue(QStringLiteral("Writer%1").arg(writer), QStringLiteral("V%1").arg(i), vtInteger, i);
          settings.SaveCustomValue(QStringLiteral("Shared"), QStringLiteral("W%1V%2").arg(writer).arg(i), vtInteger, i);
        }
      } catch (const std::exception&) {
        ::_exit(2);
      }
      ::_exit(0);
    }
    children << child;
  }
  for (const pid_t child : std::as_const(children)) {
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
  }
  auto settings = NewStore(TSettingsStore(store), INIFileName());
  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < 25; ++i) {
      QCOMPARE(settings->LoadCustomValue(QStringLiteral("Writer%1").arg(writer), QStringLiteral("V%1").arg(i),
                                         vtInteger, -1),
               QVariant(i));
      QCOMPARE(settings->LoadCustomValue(QStringLiteral("Shared"), QStringLiteral("W%1V%2").arg(writer).arg(i),
                                         vtInteger, -1),
               QVariant(i));
    }
  }
}

QTEST_GUILESS_MAIN(TestSettingsReliability)
#include "tst_settingsreliability.moc"
