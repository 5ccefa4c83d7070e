// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "update/EAutoUpdateError.h"
#include "update/TApplicationVersionDetails.h"
#include "update/TAutoUpdate.h"
#include "update/TThreadTimer.h"
#include "update/TUpdateDescription.h"

#include <QTemporaryDir>
#include <QTest>

class TestUpdateRules : public QObject
{
  Q_OBJECT

private slots:
  void versionTextsParse();
  void newerVersionRule();
  void descriptionSectionIgnoresCase();
  void installerNamesAreCleanedOrRefused();
  void optionsReachTheProxyChoice();
  void timerTicksAtOnceAndStopsForGood();
  void oneCheckAtATime();
};

void TestUpdateRules::versionTextsParse()
{
  TApplicationVersionDetails version;
  const QList<std::pair<QString, QString>> cases = {
      {QStringLiteral("2.5"), QStringLiteral("2.5.0.0")},
      {QStringLiteral("1.2.3.4.5"), QStringLiteral("1.2.3.4")},
      {QStringLiteral("x.7"), QStringLiteral("0.7.0.0")},
      {QString(), QStringLiteral("0.0.0.0")},
      {QStringLiteral("1..3"), QStringLiteral("1.0.3.0")},
      {QStringLiteral("-1.2"), QStringLiteral("-1.2.0.0")},
      {QStringLiteral("99999999999.1"), QStringLiteral("0.1.0.0")},
  };
  for (const auto& [text, expected] : cases) {
    version.SetVersion(text);
    QCOMPARE(version.Version(), expected);
  }
  version.Reset();
  QCOMPARE(version.AsString(), QStringLiteral("0.0.0.0"));
  // What an offered version must look like.
  for (const char* good : {"2", "2.5", "1.2.3.4", "0.0.0.0"})
    QVERIFY2(TApplicationVersionDetails::ValidVersion(QString::fromLatin1(good)), good);
  for (const char* bad : {"", "-1.2", "1.-2", "x.7", "1..3", "1.2.3.4.5", "+1", " 1", "99999999999.1", "1.2a"})
    QVERIFY2(!TApplicationVersionDetails::ValidVersion(QString::fromLatin1(bad)), bad);
}

void TestUpdateRules::newerVersionRule()
{
  const auto isCurrent = [](const char* AThis, const char* AOther) {
    TApplicationVersionDetails version;
    version.SetVersion(QString::fromLatin1(AThis));
    return version.IsCurrent(QString::fromLatin1(AOther));
  };
  QVERIFY(isCurrent("1.2.3.4", "1.2.3.4"));
  QVERIFY(isCurrent("1.2.3.4", "1.2.3.5"));
  QVERIFY(!isCurrent("1.3.0.0", "1.2.9.9"));
  // Part by part: no number of builds or minors outweighs the part above them.
  QVERIFY(isCurrent("1.2.0.1000", "1.2.1.0"));
  QVERIFY(isCurrent("1.1000.0.5", "2.0.0.0"));
  QVERIFY(isCurrent("1.2.1000.0", "1.3.0.0"));
  QVERIFY(!isCurrent("1.2.1.1", "1.2.1.0"));
  // An offered "0.0.0.0" (no "Version") is never newer; anything is newer than an unknown version.
  QVERIFY(isCurrent("0.0.0.0", "1.0.0.0"));
  QVERIFY(!isCurrent("0.0.0.1", "0.0.0.0"));
}

void TestUpdateRules::descriptionSectionIgnoresCase()
{
  QTemporaryDir folder;
  const QString name = folder.filePath(QStringLiteral("autoupdate.ini"));
  QFile file(name);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("[Other]\nVersion=9.9.9.9\n[CORVALE]\nURL=https://example.org/setup.run\nParams=/S \"a b\"\n"
             "SHA256=ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789\n");
  file.close();

  TUpdateDescription description;
  QVERIFY(description.Load(name, QStringLiteral("Corvale")));
  QCOMPARE(description.Version, QStringLiteral("0.0.0.0"));
  QCOMPARE(description.URL, QStringLiteral("https://example.org/setup.run"));
  QCOMPARE(description.Params, QStringLiteral("/S \"a b\""));
  QCOMPARE(description.SHA256, QStringLiteral("abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789"));
  QVERIFY(TUpdateDescription::ValidChecksum(description.SHA256));
  QVERIFY(TUpdateDescription::ValidChecksum(QString()));
  QVERIFY(!TUpdateDescription::ValidChecksum(QStringLiteral("abc")));
  QVERIFY(!description.Load(name, QStringLiteral("Missing")));
}

void TestUpdateRules::installerNamesAreCleanedOrRefused()
{
  const QList<std::pair<QString, QString>> cleaned = {
      {QStringLiteral("http://h/../../x"), QStringLiteral("x")},
      {QStringLiteral("http://h/a/b"), QStringLiteral("b")},
      {QStringLiteral("http://h/.hidden"), QStringLiteral("hidden")},
      {QStringLiteral("http://h/x?y=1"), QStringLiteral("x")},
      {QStringLiteral("http://h/x?a/b"), QStringLiteral("b")},
      {QStringLiteral("http://h/dir\\..\\evil.sh"), QStringLiteral("evil.sh")},
      {QStringLiteral("http://h/set\tup.deb#frag"), QStringLiteral("setup.deb")},
      {QStringLiteral("http://h/ .x "), QStringLiteral("x")},
  };
  for (const auto& [url, expected] : cleaned) {
    QString name;
    QVERIFY2(TUpdateDescription::InstallerFileName(url, name), qPrintable(url));
    QCOMPARE(name, expected);
  }
  for (const QString& url : QStringList{QString(), QStringLiteral("http://h/"), QStringLiteral("http://h/.."),
                                        QStringLiteral("http://h/ .. "), QStringLiteral("http://h/?x=1"),
                                        QStringLiteral("http://h/") + QString(300, QLatin1Char('a'))}) {
    QString name = QStringLiteral("unchanged");
    QVERIFY2(!TUpdateDescription::InstallerFileName(url, name), qPrintable(url));
    QVERIFY(name.isEmpty());
  }
}

void TestUpdateRules::optionsReachTheProxyChoice()
{
  TAutoUpdate update;
  QVERIFY(update.UpdateURL.startsWith(QStringLiteral("https://")));
  QCOMPARE(update.ApplicationName, QStringLiteral("Corvale"));
  try {
    update.LoadSettings();
    QFAIL("no error without settings");
  } catch (const EAutoUpdateError& AError) {
    QCOMPARE(AError.Message(), QStringLiteral("Property ProgramSettings has not been assigned."));
  }
  QVERIFY_THROWS_EXCEPTION(EAutoUpdateError, update.SaveSettings());

  TProgramSettings settings;
  TApplicationOptions options(&settings);
  options.RegisterOptions();
  settings.SetValueByName(QStringLiteral("AutomaticUpdateEnabled"), true);
  settings.SetValueByName(QStringLiteral("HTTPPort"), 8080);
  settings.SetValueByName(QStringLiteral("SOCKSPort"), 1080);
  settings.SetValueByName(QStringLiteral("SOCKSProxy"), true);
  settings.SetValueByName(QStringLiteral("SOCKSHost"), QStringLiteral("socks.example"));
  settings.SetValueByName(QStringLiteral("SOCKSUsername"), QStringLiteral("sam"));
  settings.SetValueByName(QStringLiteral("SOCKSVersion"), 2);
  settings.SetValueByName(QStringLiteral("HTTPHost"), QStringLiteral("http.example"));
  settings.SetValueByName(QStringLiteral("AutomaticUpdateInterval"), 5);
  update.SetProgramSettings(&settings);
  update.LoadSettings();
  QCOMPARE(update.MonitorIntervalHours, 5);
  QCOMPARE(update.Enabled(), true);
  // The Options dialog's "Socks 5" (2) is SOCKS 5, and is written back as 2.
  QCOMPARE(update.SocksVersion, svSocks5);
  TProxySettings proxy = update.ProxyChoice();
  QVERIFY(proxy.Enabled);
  QCOMPARE(proxy.Type, ptSocks);
  QCOMPARE(proxy.Host, QStringLiteral("socks.example"));
  QCOMPARE(proxy.UserName, QStringLiteral("sam"));
  QCOMPARE(proxy.Port, 1080);

  // With both proxies on, the HTTP one is used.
  update.HTTPProxy = true;
  proxy = update.ProxyChoice();
  QCOMPARE(proxy.Type, ptHTTP);
  QCOMPARE(proxy.Host, QStringLiteral("http.example"));
  QCOMPARE(proxy.Port, 8080);
  QCOMPARE(proxy.SocksVersion, svSocks5);

  update.SocksVersion = svSocks4A;
  update.SaveSettings();
  QCOMPARE(settings.GetValueByName(QStringLiteral("SOCKSVersion")).toInt(), 3);
  QCOMPARE(settings.GetValueByName(QStringLiteral("HTTPProxy")).toBool(), true);
  QCOMPARE(TAutoUpdate::SocksVersionFromOption(1), svSocks4);
  QCOMPARE(TAutoUpdate::SocksVersionFromOption(7), svNoSocks);

  // Switched off in the options, the periodic check does not start.
  settings.SetValueByName(QStringLiteral("AutomaticUpdateEnabled"), false);
  update.LoadSettings();
  update.SetActive(true);
  QVERIFY(!update.Active());
}

void TestUpdateRules::timerTicksAtOnceAndStopsForGood()
{
  int ticks = 0;
  QThread* const mainThread = QThread::currentThread();
  bool onMainThread = true;
  {
    TThreadTimer timer(
        [&] {
          ++ticks;
          onMainThread = onMainThread && QThread::currentThread() == mainThread;
        },
        3600000);
    QTRY_COMPARE(ticks, 1);
    QVERIFY(timer.Active());
    timer.Stop();
  }
  QVERIFY(onMainThread);
  // A short timeout ticks again and again; after Stop nothing more arrives.
  {
    TThreadTimer timer([&] { ++ticks; }, 1);
    QTRY_VERIFY(ticks >= 4);
    timer.Stop();
    const int stopped = ticks;
    QCoreApplication::processEvents();
    QCOMPARE(ticks, stopped);
  }
  // A timer destroyed while its call is queued does not hang.
  {
    TThreadTimer timer([&] { ++ticks; }, 1);
  }
}

void TestUpdateRules::oneCheckAtATime()
{
  TAutoUpdate update;
  update.UpdateURL.clear();
  QStringList debug;
  QStringList log;
  int ends = 0;
  update.OnDebug = [&](QObject*, const QString& AProcedure, const QString& AMessage) {
    debug << AProcedure + QLatin1Char(':') + AMessage;
  };
  update.OnLog = [&](QObject*, const QString& AMessage) { log << AMessage; };
  update.OnUpdateEnd = [&](QObject*, bool ASuccess, const QString&, const QString&, const QString&) {
    QVERIFY(!ASuccess);
    ++ends;
  };
  update.Execute();
  QVERIFY(update.Busy());
  update.Execute();
  QCOMPARE(debug, QStringList{QStringLiteral("Execute:An update request is already active.")});
  QTRY_COMPARE(ends, 1);
  QVERIFY(!update.Busy());
  QCOMPARE(log, (QStringList{QStringLiteral("Checking for software update..."),
                             QStringLiteral("ERROR: No update URL specified.")}));
  // The next check starts a new worker.
  update.Execute();
  QTRY_COMPARE(ends, 2);
}

QTEST_GUILESS_MAIN(TestUpdateRules)
#include "tst_updaterules.moc"
