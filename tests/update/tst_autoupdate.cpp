// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdatePeers.h"
#include "sysinfo/Common.h"
#include "update/TAutoUpdate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

const QString RunningVersion = QStringLiteral("2.0.0.0");

// One update check against the test's servers, recording what the component reported.
struct TCheck
{
  TAutoUpdate Update;
  QStringList Log;
  QStringList Debug;
  QStringList Progress;
  bool Ended = false;
  bool Success = false;
  bool Offered = false;
  bool NotRequired = false;
  bool Terminated = false;
  QString Message;
  QString FileName;
  bool Answer = true;
  bool Execute = false;
  std::function<void(const QString&)> OnProgress;

  explicit TCheck(const QString& AURL)
  {
    Update.UpdateURL = AURL;
    Update.ApplicationName = QStringLiteral("Corvale");
    Update.RunningVersion = [] { return RunningVersion; };
    Update.OnTerminate = [this] { Terminated = true; };
    Update.OnLog = [this](QObject*, const QString& AMessage) { Log << AMessage; };
    Update.OnDebug = [this](QObject*, const QString&, const QString& AMessage) { Debug << AMessage; };
    Update.OnUpdateProgress = [this](QObject*, const QString& AMessage, int, bool&) {
      Progress << AMessage;
      if (OnProgress)
        OnProgress(AMessage);
    };
    Update.OnUpdateAvailable = [this](QObject*, const QString&, const QString&, const QString&, bool& AStart) {
      Offered = true;
      AStart = Answer;
    };
    Update.OnUpdateNotRequired = [this](QObject*, const QString&, const QString&) { NotRequired = true; };
    Update.OnUpdateEnd = [this](QObject*, bool ASuccess, const QString& AMessage, const QString& AFileName,
                                const QString&) {
      Ended = true;
      Success = ASuccess;
      Message = AMessage;
      FileName = AFileName;
    };
    Update.OnUpdateExecute = [this](QObject*, bool& AExecute, const QString&, const QString&) { AExecute = Execute; };
  }
  bool Run()
  {
    Update.Execute();
    return QTest::qWaitFor([this] { return Ended; }, 90000);
  }
  bool Logged(const QString& APrefix) const
  {
    return std::any_of(Log.begin(), Log.end(), [&](const QString& ALine) { return ALine.startsWith(APrefix); });
  }
};

} // namespace

class TestAutoUpdate : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void newerVersionIsDownloadedAndStarted();
  void checksThatEndWithoutAnUpdate();
  void downloadsAreCheckedBeforeAnythingRuns();
  void httpsCertificatesAreVerified();
  void proxiesAreUsedWithTheirCredentials();
  void cancelStopsASlowDownload();
  void brokenOrUnverifiableDownloadsStartNothing();
  void incompleteProxySettingsAreReported();

private:
  QString Url(const QString& APath, int APort = 0) const
  {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(APort ? APort : FServer.Port()).arg(APath);
  }
  // Writes the description: the section "Corvale" with these lines.
  void Describe(const QString& ALines, const QString& ASection = QStringLiteral("Corvale"))
  {
    QFile file(FWww.filePath(QStringLiteral("autoupdate.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral("[%1]\n%2\n").arg(ASection, ALines).toUtf8());
  }
  QByteArray Serve(const QString& AName, const QByteArray& AContent)
  {
    QFile file(FWww.filePath(AName));
    if (!file.open(QIODevice::WriteOnly) || file.write(AContent) != AContent.size())
      return {};
    return QCryptographicHash::hash(AContent, QCryptographicHash::Sha256).toHex();
  }

  QTemporaryDir FWww;
  QTemporaryDir FWork;
  TPeer FServer;
};

void TestAutoUpdate::initTestCase()
{
  QVERIFY(FWww.isValid() && FWork.isValid());
  // Downloads go below the test's own temporary folder.
  qputenv("TMPDIR", QFile::encodeName(FWork.path()));
  QVERIFY2(FServer.StartServer(FWww.path()), qPrintable(FServer.Error()));
}

void TestAutoUpdate::newerVersionIsDownloadedAndStarted()
{
  const QString output = FWork.filePath(QStringLiteral("arguments.txt"));
  const QByteArray sum =
      Serve(QStringLiteral("setup.sh"),
            QStringLiteral("#!/bin/sh\n{ printf '%s\\n' \"$@\"; pwd; } > '%1.part' && mv '%1.part' '%1'\n")
                .arg(output)
                .toUtf8());
  Describe(QStringLiteral("Version=2.1\nURL=%1\nParams=\"a b\" c\\d ;rm\nSHA256=%2")
               .arg(Url(QStringLiteral("setup.sh")), sum));

  TCheck check(Url(QStringLiteral("autoupdate.ini")));
  check.Execute = true;
  QVERIFY(check.Run());
  QVERIFY2(check.Success, qPrintable(check.Message));
  QVERIFY(check.Offered);
  QVERIFY(check.Logged(QStringLiteral("\"Corvale\" (2.0.0.0) a new version \"2.1.0.0\" is available")));
  QVERIFY(!check.Logged(QStringLiteral("ERROR")));
  QVERIFY(check.Progress.contains(QStringLiteral("Download complete.")));
  QVERIFY(check.Terminated);

  // A private folder holding only the installer, which was made executable.
  const QFileInfo installer(check.FileName);
  QCOMPARE(installer.fileName(), QStringLiteral("setup.sh"));
  struct stat folder
  {};
  QCOMPARE(::stat(QFile::encodeName(installer.path()).constData(), &folder), 0);
  QCOMPARE(folder.st_mode & 0777, 0700u);
  QVERIFY(installer.path().startsWith(FWork.path()));
  QCOMPARE(QDir(installer.path()).entryList(QDir::Files), QStringList{QStringLiteral("setup.sh")});
  QVERIFY(installer.isExecutable());

  // The parameters arrive as arguments split the Windows way, never through a shell.
  QTRY_VERIFY(QFile::exists(output));
  QFile result(output);
  QVERIFY(result.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(result.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QCOMPARE(lines, (QStringList{QStringLiteral("a b"), QStringLiteral("c\\d"), QStringLiteral(";rm"),
                               QDir(GetApplicationFolder()).canonicalPath()}));
}

void TestAutoUpdate::checksThatEndWithoutAnUpdate()
{
  const QString binSum = QString::fromLatin1(Serve(QStringLiteral("setup.bin"), "binary"));
  const QString description = Url(QStringLiteral("autoupdate.ini"));
  {
    Describe(QStringLiteral("Version=2.0.0.0\nURL=%1").arg(Url(QStringLiteral("setup.bin"))),
             QStringLiteral("corVALE"));
    TCheck check(description);
    QVERIFY(check.Run());
    QVERIFY(check.NotRequired && !check.Offered && !check.Success);
    QCOMPARE(check.Log.last(), QStringLiteral("\"Corvale\" is already up to date \"2.0.0.0\""));
  }
  {
    Describe(QStringLiteral("Version=9.0"), QStringLiteral("Other"));
    TCheck check(description);
    QVERIFY(check.Run());
    QCOMPARE(check.Log.last(), QStringLiteral("ERROR: Error loading \"Corvale\" update details."));
  }
  {
    // A missing description ends quietly: only the progress tells.
    TCheck check(Url(QStringLiteral("missing.ini")));
    QVERIFY(check.Run());
    QVERIFY(!check.Success && check.Message.isEmpty());
    QVERIFY(check.Progress.contains(QStringLiteral("Download Failed.")));
    QVERIFY(!check.Logged(QStringLiteral("ERROR")));
  }
  {
    Describe(QStringLiteral("Version=3.0\nURL=%1\nSHA256=%2").arg(Url(QStringLiteral("setup.bin")), binSum));
    TCheck check(description);
    check.Answer = false;
    QVERIFY(check.Run());
    QVERIFY(check.Offered);
    QCOMPARE(check.Message, QStringLiteral("Download cancelled."));
    QCOMPARE(check.Log.last(), QStringLiteral("ERROR: Download cancelled."));
  }
  {
    Describe(QStringLiteral("Version=3.0\nURL=%1\nSHA256=%2").arg(Url(QStringLiteral("gone.bin")), binSum));
    TCheck check(description);
    QVERIFY(check.Run());
    QCOMPARE(check.Message, QStringLiteral("Failed to download update") + Url(QStringLiteral("gone.bin")));
  }
  {
    TCheck check{QString()};
    QVERIFY(check.Run());
    QCOMPARE(check.Log.last(), QStringLiteral("ERROR: No update URL specified."));
  }
  // Nothing is left behind by the checks that failed.
  QCOMPARE(
      QDir(FWork.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).filter(QStringLiteral("corvale-update")).size(),
      1);
}

void TestAutoUpdate::downloadsAreCheckedBeforeAnythingRuns()
{
  const QByteArray sum = Serve(QStringLiteral("x"), "#!/bin/sh\nexit 0\n");
  const QByteArray hiddenSum = Serve(QStringLiteral(".hidden"), "hidden");
  {
    Describe(
        QStringLiteral("Version=3.0\nURL=%1\nSHA256=%2").arg(Url(QStringLiteral("x")), QString(64, QLatin1Char('0'))));
    TCheck check(Url(QStringLiteral("autoupdate.ini")));
    check.Execute = true;
    QVERIFY(check.Run());
    QVERIFY(!check.Success && !check.Terminated);
    QVERIFY(check.Message.contains(QStringLiteral("SHA256")));
    QVERIFY(!QFile::exists(check.FileName));
  }
  // Hostile names are cleaned; a name that cannot be cleaned refuses the update.
  const QList<std::pair<QString, QString>> names = {
      {QStringLiteral("../../x"), QStringLiteral("x")},
      {QStringLiteral(".hidden"), QStringLiteral("hidden")},
      {QStringLiteral("x?y=1"), QStringLiteral("x")},
      {QStringLiteral("a/../x"), QStringLiteral("x")},
  };
  for (const auto& [path, local] : names) {
    Describe(QStringLiteral("Version=3.0\nURL=%1\nSHA256=%2")
                 .arg(Url(path), QString::fromLatin1(path.contains(QLatin1Char('x')) ? sum : hiddenSum)));
    TCheck check(Url(QStringLiteral("autoupdate.ini")));
    QVERIFY(check.Run());
    QVERIFY2(check.Success, qPrintable(path + QLatin1Char(' ') + check.Message));
    QCOMPARE(QFileInfo(check.FileName).fileName(), local);
    QVERIFY(QFileInfo(check.FileName).path().startsWith(FWork.path()));
  }
  {
    Describe(QStringLiteral("Version=3.0\nURL=%1").arg(Url(QString())));
    TCheck check(Url(QStringLiteral("autoupdate.ini")));
    QVERIFY(check.Run());
    QVERIFY(!check.Success);
    QVERIFY(check.Message.contains(QStringLiteral("file name")));
  }
  // A file that is not a program is handed to the desktop, without the parameters.
  {
    const QString bin = FWork.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    const QString opened = FWork.filePath(QStringLiteral("opened.txt"));
    QFile opener(bin + QStringLiteral("/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n").arg(opened).toUtf8());
    opener.close();
    QVERIFY(opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
    const QByteArray debSum = Serve(QStringLiteral("package.deb"), "!<arch>\n");
    Describe(QStringLiteral("Version=3.0\nURL=%1\nParams=--bad\nSHA256=%2")
                 .arg(Url(QStringLiteral("package.deb")), QString::fromLatin1(debSum)));
    TCheck check(Url(QStringLiteral("autoupdate.ini")));
    check.Execute = true;
    QVERIFY(check.Run());
    QVERIFY(check.Terminated);
    // The stand-in creates the file before it writes into it: wait for what it wrote.
    const auto openedText = [&opened] {
      QFile result(opened);
      return result.open(QIODevice::ReadOnly) ? QString::fromUtf8(result.readAll()).trimmed() : QString();
    };
    QTRY_COMPARE(openedText(), check.FileName);
    QVERIFY(!QFileInfo(check.FileName).isExecutable());
  }
}

void TestAutoUpdate::httpsCertificatesAreVerified()
{
  const QString certificate = FWork.filePath(QStringLiteral("cert.pem"));
  const QString key = FWork.filePath(QStringLiteral("key.pem"));
  QVERIFY(TPeer::MakeCertificate(certificate, key));
  TPeer https;
  QVERIFY2(https.StartServer(FWww.path(), certificate, key), qPrintable(https.Error()));
  const QByteArray binSum = Serve(QStringLiteral("setup.bin"), "binary");
  Describe(QStringLiteral("Version=3.0\nURL=%1\nSHA256=%2")
               .arg(Url(QStringLiteral("setup.bin")), QString::fromLatin1(binSum)));
  const QString description = QStringLiteral("https://127.0.0.1:%1/autoupdate.ini").arg(https.Port());
  {
    TCheck check(description);
    QVERIFY(check.Run());
    QVERIFY(!check.Offered);
    QVERIFY(check.Progress.contains(QStringLiteral("Download Failed.")));
    QVERIFY2(check.Debug.join(QLatin1Char(' ')).contains(QStringLiteral("certificate"), Qt::CaseInsensitive),
             qPrintable(check.Debug.join(QLatin1Char(' '))));
  }
  {
    TCheck check(description);
    check.Update.CertificateAuthorityFile = certificate;
    check.Answer = false;
    QVERIFY(check.Run());
    QVERIFY(check.Offered);
  }
}

void TestAutoUpdate::proxiesAreUsedWithTheirCredentials()
{
  const QByteArray sum = Serve(QStringLiteral("setup.bin"), QByteArray(100000, 'u'));
  Describe(
      QStringLiteral("Version=3.0\nURL=%1\nSHA256=%2").arg(Url(QStringLiteral("setup.bin")), QString::fromLatin1(sum)));
  QTemporaryDir folder;
  TPeer httpProxy;
  QVERIFY2(httpProxy.StartHttpProxy(folder.path(), QStringLiteral("hal"), QStringLiteral("s3cret")),
           qPrintable(httpProxy.Error()));
  TPeer socksProxy;
  QVERIFY2(socksProxy.StartSocksProxy(QStringLiteral("sam"), QStringLiteral("w0rd")), qPrintable(socksProxy.Error()));

  for (const bool http : {true, false}) {
    for (const QString& password :
         {QStringLiteral("wrong"), http ? QStringLiteral("s3cret") : QStringLiteral("w0rd")}) {
      TCheck check(Url(QStringLiteral("autoupdate.ini")));
      TAutoUpdate& update = check.Update;
      if (http) {
        update.HTTPProxy = true;
        update.HTTPHost = QStringLiteral("127.0.0.1");
        update.HTTPPort = httpProxy.Port();
        update.HTTPAuthentication = true;
        update.HTTPUserName = QStringLiteral("hal");
        update.HTTPPassword = password;
      } else {
        update.SocksProxy = true;
        update.SocksVersion = svSocks5;
        update.SocksHost = QStringLiteral("127.0.0.1");
        update.SocksPort = socksProxy.Port();
        update.SocksAuthentication = true;
        update.SocksUserName = QStringLiteral("sam");
        update.SocksPassword = password;
      }
      QVERIFY(check.Run());
      const bool good = password != QStringLiteral("wrong");
      // The proxy refuses without the right credentials, so a success went through it.
      QCOMPARE(check.Offered, good);
      QCOMPARE(check.Success, good);
      if (good)
        QCOMPARE(QFileInfo(check.FileName).size(), 100000);
      // tinyproxy offers Basic only: used, and said once for the two transfers of the check.
      const QString basic =
          QStringLiteral("The proxy accepts only Basic authentication: its password is sent unencrypted.");
      QCOMPARE(check.Log.count(basic), http ? 1 : 0);
    }
  }
}

void TestAutoUpdate::cancelStopsASlowDownload()
{
  const QByteArray sum = Serve(QStringLiteral("big.bin"), QByteArray(4 * 1024 * 1024, 'b'));
  Describe(QStringLiteral("Version=3.0\nURL=%1\nSHA256=%2")
               .arg(Url(QStringLiteral("slow/big.bin")), QString::fromLatin1(sum)));
  TCheck check(Url(QStringLiteral("autoupdate.ini")));
  bool installer = false;
  check.OnProgress = [&check, &installer](const QString& AMessage) {
    installer = installer || AMessage == QStringLiteral("Download initializing...");
    if (installer && AMessage.contains(QStringLiteral("Bytes)")))
      check.Update.Cancel();
  };
  QVERIFY(check.Run());
  QVERIFY(!check.Success);
  QCOMPARE(check.Message, QStringLiteral("Download cancelled."));
  const qsizetype at = check.Progress.indexOf(QStringLiteral("Cancelling..."));
  QVERIFY(at > 0);
  QCOMPARE(check.Progress.mid(at),
           (QStringList{QStringLiteral("Cancelling..."), QStringLiteral("Download Failed."),
                        QStringLiteral("Download cancelled by user."), QStringLiteral("Download cancelled.")}));
  QCOMPARE(check.Log.last(), QStringLiteral("ERROR: Download cancelled."));
  QVERIFY(!QFile::exists(check.FileName));
}

void TestAutoUpdate::brokenOrUnverifiableDownloadsStartNothing()
{
  const QString certificate = FWork.filePath(QStringLiteral("cert2.pem"));
  const QString key = FWork.filePath(QStringLiteral("key2.pem"));
  QVERIFY(TPeer::MakeCertificate(certificate, key));
  TPeer https;
  QVERIFY2(https.StartServer(FWww.path(), certificate, key), qPrintable(https.Error()));
  const auto secure = [&https](const QString& APath) {
    return QStringLiteral("https://127.0.0.1:%1/%2").arg(https.Port()).arg(APath);
  };
  const QByteArray installer = "#!/bin/sh\nexit 0\n" + QByteArray(200000, '#');
  (void)Serve(QStringLiteral("setup.run"), installer);
  {
    // "200", a length, then the connection drops half-way: over https no checksum is needed,
    // so only the transfer's own result can stop the partial file.
    Describe(QStringLiteral("Version=3.0\nURL=%1").arg(secure(QStringLiteral("cut/setup.run"))));
    TCheck check(secure(QStringLiteral("autoupdate.ini")));
    check.Update.CertificateAuthorityFile = certificate;
    check.Execute = true;
    QVERIFY(check.Run());
    QVERIFY(check.Offered);
    QVERIFY(!check.Success && !check.Terminated);
    const QStringList installerSteps =
        check.Progress.mid(check.Progress.indexOf(QStringLiteral("Download initializing...")));
    QVERIFY(installerSteps.contains(QStringLiteral("Download Failed.")));
    QVERIFY(!installerSteps.contains(QStringLiteral("Download Complete.")));
    QCOMPARE(check.Message, QStringLiteral("Failed to download update") + secure(QStringLiteral("cut/setup.run")));
    QVERIFY(!QFile::exists(check.FileName));
  }
  {
    // A description without a length that never ends is stopped at its limit, not read whole.
    TCheck check(Url(QStringLiteral("endless/autoupdate.ini")));
    QVERIFY(check.Run());
    QVERIFY(!check.Offered && !check.Success);
    QVERIFY(check.Progress.contains(QStringLiteral("Download Failed.")));
    QVERIFY2(check.Debug.join(QLatin1Char(' ')).contains(QStringLiteral("larger than 1048576 bytes")),
             qPrintable(check.Debug.join(QLatin1Char(' '))));
  }
  {
    // An installer over plain http without a checksum is refused before it is offered.
    Describe(QStringLiteral("Version=3.0\nURL=%1").arg(Url(QStringLiteral("setup.run"))));
    TCheck check(secure(QStringLiteral("autoupdate.ini")));
    check.Update.CertificateAuthorityFile = certificate;
    check.Execute = true;
    QVERIFY(check.Run());
    QVERIFY(!check.Offered && !check.Success && !check.Terminated);
    QVERIFY2(check.Message.contains(QStringLiteral("not offered over https")), qPrintable(check.Message));
  }
  {
    // Versions with a sign or letters refuse the description.
    Describe(QStringLiteral("Version=3.-1\nURL=%1").arg(secure(QStringLiteral("setup.run"))));
    TCheck check(Url(QStringLiteral("autoupdate.ini")));
    QVERIFY(check.Run());
    QVERIFY(!check.Offered && !check.NotRequired);
    QCOMPARE(check.Message, QStringLiteral("The update details hold an invalid version: \"3.-1\"."));
  }
  {
    // Details over plain http (the user's own address) are offered, saying they are not verified.
    const QByteArray sum = QCryptographicHash::hash(installer, QCryptographicHash::Sha256).toHex();
    Describe(QStringLiteral("Version=3.0\nURL=%1\nSHA256=%2")
                 .arg(Url(QStringLiteral("setup.run")), QString::fromLatin1(sum)));
    TCheck check(Url(QStringLiteral("autoupdate.ini")));
    check.Answer = false;
    QVERIFY(check.Run());
    QVERIFY(check.Offered);
    QVERIFY(check.Logged(QStringLiteral("The update details were fetched over plain http")));
    QVERIFY(!check.Update.DescriptionVerified());
  }
}

void TestAutoUpdate::incompleteProxySettingsAreReported()
{
  Describe(QStringLiteral("Version=3.0"));
  for (const TSocksVersion version : {svNoSocks, svSocks4}) {
    TCheck check(Url(QStringLiteral("autoupdate.ini")));
    TAutoUpdate& update = check.Update;
    update.SocksProxy = true;
    update.SocksVersion = version;
    update.SocksHost = QStringLiteral("127.0.0.1");
    update.SocksPort = 1080;
    update.SocksAuthentication = true;
    update.SocksUserName = QStringLiteral("sam");
    update.SocksPassword = QStringLiteral("w0rd");
    QVERIFY(check.Run());
    QVERIFY(!check.Success);
    QCOMPARE(check.Message, QStringLiteral("The proxy settings are incomplete."));
    QCOMPARE(check.Log.last(), QStringLiteral("ERROR: The proxy settings are incomplete."));
  }
}

QTEST_GUILESS_MAIN(TestAutoUpdate)
#include "tst_autoupdate.moc"
