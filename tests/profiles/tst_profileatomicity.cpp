// SPDX-License-Identifier: GPL-3.0-or-later
// A profile is saved and loaded whole: a second, real process saves one profile in a loop,
// alternating two versions, while this one loads it and must always read one version or the
// other; the saver is also killed (SIGKILL) in the middle of its work.
#include "profiles/TBackupProfile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");
const QString ProfileName = QStringLiteral("Shared");
const QString SaverSwitch = QStringLiteral("--saver");

// Version AVersion (0 or 1) of the profile: lists of different lengths, so that a half-written
// save shows as a list of the wrong length or with a foreign entry.
void Fill(TBackupProfile& AProfile, int AVersion)
{
  AProfile.SetRegistryKey(ProgramKey);
  AProfile.SetProfileName(ProfileName);
  AProfile.SetDescription(QStringLiteral("version %1").arg(AVersion));
  const int count = AVersion == 0 ? 3 : 7;
  for (int i = 0; i < count; ++i)
    AProfile.Files().Add(QStringLiteral("/v%1/folder%2").arg(AVersion).arg(i), QStringLiteral("*.*"), true);
  AProfile.FileExclusions().Add(QStringLiteral("/v%1/skip").arg(AVersion), QStringLiteral("*.tmp"), false);
  AProfile.ActivePrograms() = QStringList{QStringLiteral("Editor v%1=Class%1").arg(AVersion)};
}

QStringList Snapshot(const TBackupProfile& AProfile)
{
  QStringList result{AProfile.Description()};
  for (int i = 0; i < AProfile.Files().Count(); ++i)
    result << AProfile.Files().GetItem(i)->Folder();
  for (int i = 0; i < AProfile.FileExclusions().Count(); ++i)
    result << AProfile.FileExclusions().GetItem(i)->Folder();
  result << AProfile.ActivePrograms();
  return result;
}

QStringList Expected(int AVersion)
{
  TBackupProfile profile;
  Fill(profile, AVersion);
  return Snapshot(profile);
}

// The saving process: never returns; it is killed.
[[noreturn]] void RunSaver()
{
  for (int round = 0;; ++round) {
    TBackupProfile profile;
    Fill(profile, round % 2);
    if (!profile.SaveProfile())
      ::_exit(3);
  }
}

} // namespace

class TestProfileAtomicity : public QObject
{
  Q_OBJECT

private slots:
  void loadsSeeOneWholeVersionWhileAnotherProcessSaves();
};

void TestProfileAtomicity::loadsSeeOneWholeVersionWhileAnotherProcessSaves()
{
  QTemporaryDir home;
  QVERIFY(home.isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(home.filePath(QStringLiteral("etc"))));
  {
    TBackupProfile first;
    Fill(first, 0);
    QVERIFY(first.SaveProfile());
  }
  const QStringList versions[] = {Expected(0), Expected(1)};

  for (int life = 0; life < 3; ++life) {
    QProcess saver;
    saver.start(QCoreApplication::applicationFilePath(), {SaverSwitch});
    QVERIFY(saver.waitForStarted());
    int seen[2] = {0, 0};
    // Until both versions were seen several times, so that loads really met saves. The bound is
    // generous: a loaded machine may take seconds to start the saver and let its first save in.
    const QDeadlineTimer deadline(60000);
    while ((seen[0] < 3 || seen[1] < 3) && !deadline.hasExpired()) {
      TBackupProfile profile;
      profile.SetRegistryKey(ProgramKey);
      QVERIFY(profile.LoadProfile(ProfileName));
      const QStringList got = Snapshot(profile);
      QVERIFY2(got == versions[0] || got == versions[1], qPrintable(got.join(QLatin1Char('|'))));
      ++seen[got == versions[1] ? 1 : 0];
    }
    QVERIFY2(seen[0] > 0 && seen[1] > 0, "the saver never changed the profile");
    // Killed wherever it is; what it leaves must still be one whole version.
    ::kill(static_cast<pid_t>(saver.processId()), SIGKILL);
    QVERIFY(saver.waitForFinished());
    TBackupProfile profile;
    profile.SetRegistryKey(ProgramKey);
    QVERIFY(profile.LoadProfile(ProfileName));
    const QStringList got = Snapshot(profile);
    QVERIFY2(got == versions[0] || got == versions[1], qPrintable(got.join(QLatin1Char('|'))));
  }
}

int main(int AArgc, char** AArgv)
{
  QCoreApplication application(AArgc, AArgv);
  if (application.arguments().contains(SaverSwitch))
    RunSaver();
  TestProfileAtomicity test;
  return QTest::qExec(&test, AArgc, AArgv);
}

#include "tst_profileatomicity.moc"
