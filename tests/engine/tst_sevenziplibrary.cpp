// SPDX-License-Identifier: GPL-3.0-or-later
// Finding and checking 7z.so: libraries of another generation are refused, and the next place is tried.
#include "engine/TSevenZip.h"
#include "engine/TSevenZipLibrary.h"
#include "sysinfo/Common.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString SystemLibrary = QStringLiteral("/usr/lib/p7zip/7z.so");

QString Fake(const char* APath)
{
  return QString::fromUtf8(APath);
}

} // namespace

class TestSevenZipLibrary : public QObject
{
  Q_OBJECT

private slots:
  void programFolderComesFirst();
  void otherGenerationsAreRefused();
  void nextPlaceIsTriedAfterARefusal();
  void constructionFailsWithTheSystemsMessage();
};

void TestSevenZipLibrary::programFolderComesFirst()
{
  QCOMPARE(TSevenZipLibrary::DefaultCandidates(),
           (QStringList{QDir(GetApplicationFolder()).filePath(QStringLiteral("7z.so")), SystemLibrary}));
}

void TestSevenZipLibrary::otherGenerationsAreRefused()
{
  QTemporaryDir dir;
  const QString notALibrary = dir.filePath(QStringLiteral("7z.so"));
  {
    QFile file(notALibrary);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a shared object");
  }
  const struct
  {
    QString File;
    QString Reason;
  } cases[] = {
      {dir.filePath(QStringLiteral("absent.so")), QStringLiteral("not found")},
      {notALibrary, QStringLiteral("7z.so")},
      {Fake(FAKE7Z_NOCREATE), QStringLiteral("no CreateObject export")},
      {Fake(FAKE7Z_NOMODULEPROP), QStringLiteral("no GetModuleProp export")},
      {Fake(FAKE7Z_OLD), QStringLiteral("version 16.02 is older than 23.01")},
      {Fake(FAKE7Z_VIRTUALDTOR), QStringLiteral("interface type is not 0")},
      {Fake(FAKE7Z_WRONGIID), QStringLiteral("IID_IOutArchive differs from ours")},
  };
  for (const auto& refused : cases) {
    QStringList reasons;
    QVERIFY(!TSevenZipLibrary::Load({refused.File}, &reasons));
    QCOMPARE(reasons.size(), 1);
    QVERIFY2(reasons[0].startsWith(refused.File + QStringLiteral(": ")), qPrintable(reasons[0]));
    QVERIFY2(reasons[0].contains(refused.Reason), qPrintable(reasons[0]));
  }
}

void TestSevenZipLibrary::nextPlaceIsTriedAfterARefusal()
{
  if (!QFile::exists(SystemLibrary))
    QSKIP("7z.so (Debian p7zip-full) is not installed");
  QStringList reasons;
  const auto library = TSevenZipLibrary::Load({Fake(FAKE7Z_OLD), Fake(FAKE7Z_NOMODULEPROP), SystemLibrary}, &reasons);
  QVERIFY(library);
  QCOMPARE(library->FileName(), SystemLibrary);
  QVERIFY(library->Version() >= 0x00170001u);
  QCOMPARE(reasons.size(), 2);

  // Strings handed over come from the library's allocator, with its length prefix.
  SevenZip::BSTR text = library->AllocString(L"abc");
  QVERIFY(text);
  QCOMPARE(reinterpret_cast<const std::uint32_t*>(text)[-1], 12u);
  library->FreeString(text);
}

void TestSevenZipLibrary::constructionFailsWithTheSystemsMessage()
{
  const QString message =
      QStringLiteral("Could not load CreateObject function from 7za.dll\r\nPerhaps 7za.dll not found");
  // Nothing usable; and a library that loads but cannot make the 7z format's objects.
  for (const QStringList& candidates :
       {QStringList{Fake(FAKE7Z_NOCREATE), Fake(FAKE7Z_OLD)}, QStringList{Fake(FAKE7Z_NOFORMAT)}, QStringList{}}) {
    try {
      TSevenZip zip(candidates, nullptr);
      QFAIL("construction must raise");
    } catch (const ESevenZipError& error) {
      QCOMPARE(error.Message(), message);
      QCOMPARE(QString::fromStdString(error.what()), message);
    }
  }
}

QTEST_GUILESS_MAIN(TestSevenZipLibrary)
#include "tst_sevenziplibrary.moc"
