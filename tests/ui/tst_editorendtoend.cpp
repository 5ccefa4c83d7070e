// SPDX-License-Identifier: GPL-3.0-or-later
// A person makes a profile in the editor with keyboard and mouse, the profile is stored, and a run
// of the manager writes a real 7z archive that the 7z command tests.
#include "profiles/TBackupProfileManager.h"
#include "tests/support/OffscreenNoise.h"
#include "ui/TDestinationControls.h"
#include "ui/TMessageBox.h"
#include "ui/TfrmBackupProfiles.h"
#include "ui/TfrmFolderSelect.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

QString Run7z(const QStringList& AArguments, bool& AOk)
{
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QStringLiteral("7z"), AArguments);
  AOk = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  return QString::fromLocal8Bit(process.readAll());
}

void ClickTab(QTabWidget* APages, int AIndex)
{
  QTabBar* bar = APages->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(AIndex).center());
  QCOMPARE(APages->currentIndex(), AIndex);
}

} // namespace

class TestEditorEndToEnd : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void profileMadeInTheEditorBacksUp();

private:
  QString Path(const QString& AName) const { return FDir.filePath(AName); }
  void SetUp(TBackupProfileManager& AManager) const;

  QTemporaryDir FDir;
};

void TestEditorEndToEnd::initTestCase()
{
  if (QStandardPaths::findExecutable(QStringLiteral("7z")).isEmpty())
    QSKIP("The 7z command is not installed (p7zip-full).");
  HideOffscreenNoise();
  QVERIFY(FDir.isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(Path(QStringLiteral("etc"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source/letters"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("logs"))));
  for (const QString& name : {QStringLiteral("source/notes.txt"), QStringLiteral("source/letters/ann.txt"),
                              QStringLiteral("source/letters/photo.jpg")}) {
    QFile file(Path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("Contents of ") + name.toUtf8() + QByteArray(2000, 'x'));
  }
}

void TestEditorEndToEnd::SetUp(TBackupProfileManager& AManager) const
{
  AManager.SetRegistryKey(ProgramKey);
  AManager.SetLogFolder(Path(QStringLiteral("logs")) + QLatin1Char('/'));
  AManager.SetPluginFolder(Path(QStringLiteral("plugins")) + QLatin1Char('/'));
}

void TestEditorEndToEnd::profileMadeInTheEditorBacksUp()
{
  const QString archive = Path(QStringLiteral("Documents.7z"));
  {
    TBackupProfileManager manager;
    SetUp(manager);
    TBackupProfile* profile = manager.NewProfile(QString());
    TfrmBackupProfiles editor(nullptr, nullptr);
    QTimer::singleShot(0, &editor, [&] {
      QTest::keyClicks(editor.editName, QStringLiteral("Documents"));

      ClickTab(editor.PageControl, 1);
      // The folder dialog: the source folder, a mask typed into its wildcard box, Ok.
      QTimer::singleShot(0, &editor, [&] {
        auto* select = qobject_cast<TfrmFolderSelect*>(QApplication::activeModalWidget());
        QVERIFY(select);
        select->SelectFolder(Path(QStringLiteral("source")));
        QLineEdit* mask = select->ComboBoxWildcard->lineEdit();
        QTest::keyClick(mask, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(mask, QStringLiteral("*.txt"));
        QTest::mouseClick(select->btnOk, Qt::LeftButton);
      });
      QTest::mouseClick(editor.Sources.btnAddFolder, Qt::LeftButton);

      ClickTab(editor.PageControlFiles, 2);
      QTest::keyClick(editor.Destination->editZipFile, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(editor.Destination->editZipFile, archive);
      QTest::mouseClick(editor.btnOk, Qt::LeftButton);
    });
    QCOMPARE(editor.Execute(*profile), int(QDialog::Accepted));
    QVERIFY(TMessageBox::Shown().isEmpty());
    QCOMPARE(profile->Files().Count(), 1);
    QCOMPARE(profile->Files().GetItem(0)->FileMask(), QStringLiteral("*.txt"));
    QVERIFY(profile->Files().GetItem(0)->Recursive());
    QVERIFY(profile->SaveProfile());
  }

  // A manager that knows only what is stored runs it.
  TBackupProfileManager manager;
  SetUp(manager);
  manager.LoadProfiles();
  QCOMPARE(manager.ProfileCount(), 1);
  manager.QueueAdd(QStringLiteral("Documents"));
  QVERIFY(manager.Backup());

  // A 7z profile writes numbered volumes; this one fits in the first.
  const QString volume = archive + QStringLiteral(".001");
  QVERIFY(QFile::exists(volume));
  bool ok = false;
  const QString tested = Run7z({QStringLiteral("t"), QStringLiteral("-p-"), volume}, ok);
  QVERIFY2(ok && tested.contains(QLatin1String("Everything is Ok")), qPrintable(tested));
  const QString listed = Run7z({QStringLiteral("l"), QStringLiteral("-ba"), volume}, ok);
  QVERIFY(ok);
  QVERIFY2(listed.contains(QLatin1String("notes.txt")) && listed.contains(QLatin1String("ann.txt")),
           qPrintable(listed));
  QVERIFY(!listed.contains(QLatin1String("photo.jpg")));
}

QTEST_MAIN(TestEditorEndToEnd)
#include "tst_editorendtoend.moc"
