// SPDX-License-Identifier: GPL-3.0-or-later
// The check of a new archive runs on the finished files before they replace the previous archive:
// both writers hand it the whole new archive, and a failed check leaves the previous one in place.
#include "EngineTestSupport.h"
#include "engine/TArchiveVerifier.h"
#include "engine/TSevenZip.h"
#include "engine/TSevenZipLibrary.h"
#include "engine/TZipWriter.h"

#include <QTemporaryDir>
#include <QTest>

using namespace EngineTest;

class TestArchiveVerify : public QObject
{
  Q_OBJECT

private slots:
  void failedCheckKeepsThePreviousArchive();
  void largeArchivesAreCheckedInTwoHalves();
};

void TestArchiveVerify::failedCheckKeepsThePreviousArchive()
{
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString source = folder.filePath(QStringLiteral("data.bin"));
  QVERIFY(WriteBytes(EncodeFileName(source), NoiseBytes(150 * 1024, 7)));
  const auto library = TSevenZipLibrary::Load(TSevenZipLibrary::DefaultCandidates());
  QVERIFY(library);
  // Names in the folder besides the archive's own, such as temporary files left behind.
  const auto otherFiles = [&](const QStringList& AArchive) {
    QStringList names = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    names.removeOne(QStringLiteral("data.bin"));
    for (const QString& name : AArchive)
      names.removeOne(name);
    return names;
  };

  {
    const QString archive = folder.filePath(QStringLiteral("backup.zip"));
    TZipWriter writer;
    writer.SpecArgs() = QStringList{source};
    writer.SetZipFileName(archive);
    writer.SetPassword(QStringLiteral("pw"));
    writer.SetAddOptions(TZipWriter::AddDirNames | TZipWriter::AddEncrypt);
    QCOMPARE(writer.Add(), 0);
    const QByteArray previous = ReadBytes(EncodeFileName(archive));

    QVERIFY(WriteBytes(EncodeFileName(source), NoiseBytes(150 * 1024, 8)));
    int checks = 0;
    writer.OnVerify = [&](QObject*, const QByteArray& ATemporaryFile) {
      ++checks;
      // The whole new archive is there to be read, under a name of its own.
      TArchiveVerifier verifier(library);
      const bool sound = verifier.VerifyFiles(zZip, {ATemporaryFile}, {archive}, QStringLiteral("pw"));
      return !sound;
    };
    QVERIFY(writer.Add() != 0);
    QCOMPARE(checks, 1);
    QCOMPARE(ReadBytes(EncodeFileName(archive)), previous);
    QCOMPARE(otherFiles({QStringLiteral("backup.zip")}), QStringList());
  }
  {
    const QString archive = folder.filePath(QStringLiteral("backup.7z"));
    TSevenZip zip;
    zip.Files() << source;
    zip.SetSZFileName(archive);
    zip.SetVolumeSize(64 * 1024);
    zip.SetPassword(QStringLiteral("pw"));
    zip.SetAddOptions(AddOptsEnum::AddEncryptFilename);
    QCOMPARE(zip.Add(), 0);
    const QStringList volumes = zip.NamesOfVolumesWritten();
    QCOMPARE(volumes.size(), 3);
    QList<QByteArray> previous;
    for (const QString& volume : volumes)
      previous << ReadBytes(EncodeFileName(volume));

    QVERIFY(WriteBytes(EncodeFileName(source), NoiseBytes(150 * 1024, 9)));
    QStringList reported;
    zip.OnVerify = [&](QObject*, const QList<QByteArray>& ATemporaryFiles, const QStringList& AFinalNames) {
      reported = AFinalNames;
      TArchiveVerifier verifier(library);
      const bool sound = verifier.VerifyFiles(zSeven, ATemporaryFiles, AFinalNames, QStringLiteral("pw"));
      return !sound;
    };
    QVERIFY(zip.Add() != 0);
    QCOMPARE(reported, volumes);
    for (qsizetype i = 0; i < volumes.size(); ++i)
      QCOMPARE(ReadBytes(EncodeFileName(volumes[i])), previous[i]);
    QStringList names;
    for (const QString& volume : volumes)
      names << QFileInfo(volume).fileName();
    QCOMPARE(otherFiles(names), QStringList({QStringLiteral("backup.zip")}));
  }
}

// Large entries are checked on two threads; a damaged entry in either half is found.
void TestArchiveVerify::largeArchivesAreCheckedInTwoHalves()
{
  // Large enough for the check to read the second half on a second processor.
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString first = folder.filePath(QStringLiteral("a.bin"));
  const QString second = folder.filePath(QStringLiteral("b.bin"));
  QVERIFY(WriteBytes(EncodeFileName(first), NoiseBytes(12 << 20, 1)));
  QVERIFY(WriteBytes(EncodeFileName(second), NoiseBytes(12 << 20, 2)));
  const auto library = TSevenZipLibrary::Load(TSevenZipLibrary::DefaultCandidates());
  QVERIFY(library);

  for (const TZipType type : {zZip, zSeven}) {
    const QString archive = folder.filePath(type == zZip ? QStringLiteral("large.zip") : QStringLiteral("large.7z"));
    if (type == zZip) {
      TZipWriter writer;
      writer.SpecArgs() = QStringList{first, second};
      writer.SetZipFileName(archive);
      writer.SetAddOptions(TZipWriter::AddDirNames);
      QCOMPARE(writer.Add(), 0);
    } else {
      TSevenZip zip;
      zip.Files() << first << second;
      zip.SetSZFileName(archive);
      zip.SetLZMACompressStrength(TCompressStrength::SAVE);
      QCOMPARE(zip.Add(), 0);
    }
    {
      TArchiveVerifier verifier(library);
      QVERIFY2(verifier.VerifyFiles(type, {EncodeFileName(archive)}, {archive}, QString()),
               qPrintable(verifier.Errors().join(QLatin1Char('\n'))));
      QCOMPARE(verifier.GoodEntries(), 2);
    }
    // The incompressible entries lie one after the other: a quarter from the end is inside the second.
    const QByteArray bytes = ReadBytes(EncodeFileName(archive));
    for (const qsizetype at : {bytes.size() / 4, bytes.size() * 3 / 4}) {
      QByteArray damaged = bytes;
      damaged[at] = static_cast<char>(damaged[at] ^ 0x55);
      QVERIFY(WriteBytes(EncodeFileName(archive), damaged));
      TArchiveVerifier verifier(library);
      QVERIFY(!verifier.VerifyFiles(type, {EncodeFileName(archive)}, {archive}, QString()));
      QCOMPARE(verifier.GoodEntries(), 1);
      const QString damagedName = QFileInfo(at < bytes.size() / 2 ? first : second).fileName();
      QVERIFY2(verifier.Errors().join(QLatin1Char('\n')).contains(damagedName),
               qPrintable(verifier.Errors().join(QLatin1Char('\n'))));
    }
  }
}

QTEST_GUILESS_MAIN(TestArchiveVerify)
#include "tst_archiveverify.moc"
