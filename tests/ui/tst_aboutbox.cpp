// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader on a sample of everything it reads, on our own documents and on what pandoc
// writes; the About box that shows the documents.
#include "tests/support/OffscreenNoise.h"
#include "ui/TRtfReader.h"
#include "ui/TfrmAbout.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

namespace {

// The format of the first character of AText in ADocument.
QTextCharFormat FormatOf(const QTextDocument& ADocument, const QString& AText)
{
  const QTextCursor found = ADocument.find(AText);
  if (found.isNull())
    return {};
  QTextCursor cursor(const_cast<QTextDocument*>(&ADocument));
  cursor.setPosition(found.selectionStart() + 1);
  return cursor.charFormat();
}

QTextBlockFormat BlockOf(const QTextDocument& ADocument, const QString& AText)
{
  return ADocument.find(AText).block().blockFormat();
}

} // namespace

class TestAboutBox : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase() { HideOffscreenNoise(); }
  void readsTheRichSample();
  void readsOurDocuments();
  void readsWhatPandocWrites();
  void showsTheDocumentsThatExist();
  void secondShowingRaisesTheOpenBox();
};

void TestAboutBox::readsTheRichSample()
{
  const QByteArray rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Helvetica;}{\\f1\\fmodern Courier;}}\n"
      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\n"
      "{\\*\\generator Writer 1.0;}{\\info{\\title Hidden title}{\\author Someone}}\n"
      "{\\stylesheet{\\s0 Normal;}}\n"
      "\\pard\\qc\\sa120{\\b\\fs36 Heading}\\par\n"
      "\\pard\\li720 Plain {\\b bold {\\i both}} {\\ul under\\ulnone line} {\\cf1 red} "
      "{\\f1 fixed} \\'e9t\\'e9 \\'80 \\u8364? {\\uc2\\u8212\\'97\\'97} \\{x\\}\\par\n"
      "{\\pict\\pngblip 89504e47}Next\\line line\\tab tab \\bullet\\~\\ldblquote q\\rdblquote\\par\n"
      "\\plain\\fs20 small \\ansicpg1251\\'cf\\'f0\\'e8\\par\n"
      "}";
  QTextDocument document;
  QVERIFY(TRtfReader::Read(rtf, document));
  QCOMPARE(document.toPlainText(),
           QString::fromUtf8("Heading\nPlain bold both underline red fixed \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xe2\x82\xac "
                             "\xe2\x80\x94 {x}\nNext\nline\ttab \xe2\x80\xa2 \xe2\x80\x9cq\xe2\x80\x9d\n"
                             "small \xd0\x9f\xd1\x80\xd0\xb8"));
  // A line break within the paragraph, and a space that does not break.
  QVERIFY(document.toRawText().contains(QStringLiteral("Next\u2028line")));
  QVERIFY(document.toRawText().contains(QStringLiteral("\u2022\u00A0")));
  QCOMPARE(FormatOf(document, QStringLiteral("Heading")).fontWeight(), int(QFont::Bold));
  QCOMPARE(FormatOf(document, QStringLiteral("Heading")).fontPointSize(), 18.0);
  QCOMPARE(BlockOf(document, QStringLiteral("Heading")).alignment(), Qt::AlignHCenter);
  QCOMPARE(BlockOf(document, QStringLiteral("Heading")).bottomMargin(), 8.0);
  QCOMPARE(BlockOf(document, QStringLiteral("Plain")).leftMargin(), 48.0);
  QCOMPARE(BlockOf(document, QStringLiteral("Plain")).alignment(), Qt::AlignLeft);
  QCOMPARE(FormatOf(document, QStringLiteral("Plain")).fontWeight(), int(QFont::Normal));
  QCOMPARE(FormatOf(document, QStringLiteral("bold")).fontWeight(), int(QFont::Bold));
  QVERIFY(!FormatOf(document, QStringLiteral("bold")).fontItalic());
  QVERIFY(FormatOf(document, QStringLiteral("both")).fontItalic());
  QCOMPARE(FormatOf(document, QStringLiteral("both")).fontWeight(), int(QFont::Bold));
  QVERIFY(FormatOf(document, QStringLiteral("under")).fontUnderline());
  QVERIFY(!FormatOf(document, QStringLiteral("line red")).fontUnderline());
  QCOMPARE(FormatOf(document, QStringLiteral("red")).foreground().color(), QColor(255, 0, 0));
  QVERIFY(FormatOf(document, QStringLiteral("fixed")).fontFixedPitch());
  QVERIFY(!FormatOf(document, QStringLiteral("Next")).fontFixedPitch());
  QCOMPARE(FormatOf(document, QStringLiteral("small")).fontPointSize(), 10.0);

  // Not RTF, and RTF that ends early.
  QVERIFY(!TRtfReader::Read(QByteArray("plain text"), document));
  QVERIFY(TRtfReader::Read(QByteArray("{\\rtf1 cut {\\b off\\par\\b"), document));
  QCOMPARE(document.toPlainText(), QStringLiteral("cut off"));
}

void TestAboutBox::readsOurDocuments()
{
  for (const char* name : {"Corvale - Release Notes.rtf", "Corvale - License.rtf", "Corvale - Support Details.rtf"}) {
    QTextDocument document;
    const QString fileName = QStringLiteral(DOCUMENTS_FOLDER "/") + QString::fromLatin1(name);
    QVERIFY2(TRtfReader::ReadFile(fileName, document), name);
    const QString text = document.toPlainText();
    // Every control word understood or skipped; a bold heading first.
    QVERIFY2(!text.contains(QLatin1Char('\\')) && !text.contains(QLatin1Char('{')), qPrintable(text));
    QVERIFY(text.startsWith(QStringLiteral("Corvale")));
    QCOMPARE(document.firstBlock().begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
  }
  QTextDocument license;
  QVERIFY(TRtfReader::ReadFile(QStringLiteral(DOCUMENTS_FOLDER "/Corvale - License.rtf"), license));
  QVERIFY(license.toPlainText().contains(QString::fromUtf8("Copyright \xc2\xa9")));
  QVERIFY(license.toPlainText().contains(QStringLiteral("either version 3 of the License, or")));
}

void TestAboutBox::readsWhatPandocWrites()
{
  const QString pandoc = QStandardPaths::findExecutable(QStringLiteral("pandoc"));
  if (pandoc.isEmpty())
    QSKIP("pandoc is not installed (scripts/deps.sh installs it)");
  QProcess process;
  process.start(pandoc, {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("markdown"), QStringLiteral("-t"),
                         QStringLiteral("rtf")});
  QVERIFY(process.waitForStarted());
  process.write("# Release 1.1\n\nSome **bold**, *italic* and ~~gone~~ text: caf\xc3\xa9, \xe2\x82\xac, "
                "\xf0\x9f\x98\x80 and a\\\nbreak.\n\n- first\n- second *item*\n\nSee [the notes](https://example.org) "
                "here.\n\n    code line\n");
  process.closeWriteChannel();
  QVERIFY(process.waitForFinished(60000));
  QCOMPARE(process.exitCode(), 0);
  QTextDocument document;
  QVERIFY(TRtfReader::Read(process.readAllStandardOutput(), document));
  QCOMPARE(
      document.toPlainText(),
      QString::fromUtf8("Release 1.1\nSome bold, italic and gone text: caf\xc3\xa9, \xe2\x82\xac, \xf0\x9f\x98\x80 "
                        "and a\nbreak.\n\xe2\x80\xa2\tfirst\n\xe2\x80\xa2\tsecond item\n"
                        "See the notes here.\ncode line"));
  QCOMPARE(FormatOf(document, QStringLiteral("Release")).fontWeight(), int(QFont::Bold));
  QCOMPARE(FormatOf(document, QStringLiteral("bold")).fontWeight(), int(QFont::Bold));
  QVERIFY(FormatOf(document, QStringLiteral("italic")).fontItalic());
  QVERIFY(FormatOf(document, QStringLiteral("gone")).fontStrikeOut());
  QVERIFY(FormatOf(document, QStringLiteral("the notes")).fontUnderline());
  QVERIFY(FormatOf(document, QStringLiteral("code")).fontFixedPitch());
  QCOMPARE(BlockOf(document, QStringLiteral("first")).leftMargin(), 24.0);
}

void TestAboutBox::showsTheDocumentsThatExist()
{
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString notes = folder.filePath(QStringLiteral("notes.rtf"));
  const QString support = folder.filePath(QStringLiteral("support.rtf"));
  for (const QString& name : {notes, support}) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1\\ansi {\\b " + QFileInfo(name).baseName().toLatin1() + "}\\par}");
  }
  TfrmAbout box(QStringLiteral("1.0.0.0"), QStringLiteral("Copyright notice"), QPixmap());
  QCOMPARE(box.size(), QSize(453, 502));
  QVERIFY(box.windowFlags() & Qt::FramelessWindowHint);
  QCOMPARE(box.lblVersionDetails->text(), QStringLiteral("1.0.0.0 x64"));
  QCOMPARE(box.lblLegalNotice->text(), QStringLiteral("Copyright notice"));
  QStringList shown;
  QTimer::singleShot(0, &box, [&] {
    QTabWidget* pages = box.PageControl;
    for (int i = 0; i < pages->count(); ++i) {
      if (pages->isTabVisible(i))
        shown << pages->tabText(i);
    }
    QCOMPARE(pages->currentWidget(), box.tabAbout);
    QVERIFY(box.IsScrolling());
    QCOMPARE(box.VersionHistory->toPlainText(), QStringLiteral("notes"));
    QCOMPARE(box.SupportInformation->toPlainText(), QStringLiteral("support"));
    box.OKBtn->click();
  });
  QVERIFY(box.Execute(notes, folder.filePath(QStringLiteral("missing.rtf")), support));
  QCOMPARE(shown, QStringList({"About", "Version History", "Support Information"}));
  QVERIFY(!box.IsScrolling());
}

void TestAboutBox::secondShowingRaisesTheOpenBox()
{
  TfrmAbout box(QStringLiteral("1.0.0.0"), QString(), QPixmap());
  QSignalSpy finished(&box, &QDialog::finished);
  bool returnedAtOnce = false;
  QTimer::singleShot(0, &box, [&] {
    QWidget other;
    other.show();
    other.activateWindow();
    // A second "/ABOUT" while the box is open: no second box, the open one comes to the front.
    returnedAtOnce = box.Execute(QString(), QString(), QString()) && box.isVisible() && finished.isEmpty();
    QTRY_COMPARE(QApplication::activeWindow(), &box);
    box.OKBtn->click();
  });
  QVERIFY(box.Execute(QString(), QString(), QString()));
  QVERIFY(returnedAtOnce);
  QCOMPARE(finished.size(), 1);
}

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
