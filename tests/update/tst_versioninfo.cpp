// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TApplicationVersionInfo.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestVersionInfo : public QObject
{
  Q_OBJECT

private slots:
  void executablesCarryTheProjectVersion();
  void filesWithoutARecordKeepTheDefaults();
  void versionOptionPrintsTheRecord();
};

void TestVersionInfo::executablesCarryTheProjectVersion()
{
  const QString expected = QStringLiteral(CORVALE_VERSION) + QStringLiteral(".0");
  TApplicationVersionInfo self;
  QCOMPARE(self.FileVersion(), expected);
  QCOMPARE(self.ProductVersion(), expected);
  QCOMPARE(self.ProductName(), QStringLiteral("Corvale"));
  QCOMPARE(self.LanguageCodepage(), QStringLiteral("040904b0"));
  QVERIFY(!self.CompanyName().isEmpty());
  QVERIFY(!self.LegalCopyright().isEmpty());
  QCOMPARE(TApplicationVersionInfo::ProgramVersion(), expected);

  // Any file of ours is read the same way, here the two programs.
  for (const char* program : {CORVALE_CLI_PATH, CORVALE_APP_PATH}) {
    TFileVersionInformation info;
    info.SetExceptionOnError(true);
    info.SetFileName(QString::fromLocal8Bit(program));
    QCOMPARE(info.FileVersion(), expected);
    const QStringList parts = expected.split(QLatin1Char('.'));
    QCOMPARE(info.MajorVersion(), parts.at(0).toUShort());
    QCOMPARE(info.MinorVersion(), parts.at(1).toUShort());
    QCOMPARE(info.ReleaseVersion(), parts.at(2).toUShort());
    QCOMPARE(info.Build(), parts.at(3).toUShort());
    QVERIFY(!info.PreRelease() && !info.Patched() && !info.PrivateBuild());
  }
}

void TestVersionInfo::filesWithoutARecordKeepTheDefaults()
{
  QTemporaryDir folder;
  const QString missing = folder.filePath(QStringLiteral("missing"));
  const QString text = folder.filePath(QStringLiteral("text"));
  QFile file(text);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a program") > 0);
  file.close();

  for (const QString& name : {missing, text, QStringLiteral("/bin/sh")}) {
    TFileVersionInformation info;
    info.SetFileName(name);
    QCOMPARE(info.FileName(), name);
    QCOMPARE(info.FileVersion(), QStringLiteral("0.0.0.0"));
    QCOMPARE(info.ProductVersion(), QStringLiteral("0.0.0.0"));
    QVERIFY(info.ProductName().isEmpty());
    QCOMPARE(info.MajorVersion(), 0);

    info.SetExceptionOnError(true);
    QVERIFY_THROWS_EXCEPTION(EFileVersionInformationException, info.SetFileName(name));
  }
  try {
    TFileVersionInformation info;
    info.SetExceptionOnError(true);
    info.SetFileName(missing);
  } catch (const EFileVersionInformationException& AError) {
    QCOMPARE(AError.Message(), QStringLiteral("\"%1\" does not exist.").arg(missing));
  }
}

void TestVersionInfo::versionOptionPrintsTheRecord()
{
  for (const char* program : {CORVALE_CLI_PATH, CORVALE_APP_PATH}) {
    QProcess process;
    // No display is needed: the version is printed before any window system is reached.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(QString::fromLocal8Bit(program), {QStringLiteral("--version")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(output.startsWith(QStringLiteral("Corvale ") + QStringLiteral(CORVALE_VERSION) + QStringLiteral(".0\n")),
             qPrintable(output));
  }
}

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
