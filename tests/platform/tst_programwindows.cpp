// SPDX-License-Identifier: GPL-3.0-or-later
// The window facility against a private X server, bare and with a window manager, and real X
// clients: listing, the lookups in their order, closing and ending programs.
#include "platform/TProgramWindows.h"
#include "tests/support/DropRoot.h"
#include "tests/support/TXServer.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

namespace {

const TProgramWindow* WindowOf(const QList<TProgramWindow>& AWindows, TWindowId AId)
{
  for (const TProgramWindow& window : AWindows)
    if (window.Id == AId)
      return &window;
  return nullptr;
}

qsizetype IndexOf(const QList<TProgramWindow>& AWindows, TWindowId AId)
{
  for (qsizetype i = 0; i < AWindows.size(); ++i)
    if (AWindows[i].Id == AId)
      return i;
  return -1;
}

TWindowId StubbornWindow(QProcess* AProcess)
{
  return TWindowId(AProcess->readLine().trimmed().toUInt());
}

} // namespace

class TestProgramWindows : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void rootTerminatesNothing();
  void listsTheProgramsWindows_data() { Modes(); }
  void listsTheProgramsWindows();
  void findsByTheLookupsInOrder_data() { Modes(); }
  void findsByTheLookupsInOrder();
  void closeEndsProgramsThatAgree_data() { Modes(); }
  void closeEndsProgramsThatAgree();
  void terminateEndsProgramsThatIgnoreTheClose_data() { Modes(); }
  void terminateEndsProgramsThatIgnoreTheClose();
  void ownWindowsAreNeverListed_data() { Modes(); }
  void ownWindowsAreNeverListed();
  void withoutAnXServerNothingIsSeen();
  void nativeProgramsOutOfReachAreNamed();

private:
  static void Modes()
  {
    QTest::addColumn<bool>("windowManager");
    QTest::newRow("bare X server") << false;
    QTest::newRow("window manager") << true;
  }
  // Starts the server for the current row; skips when its parts are not installed.
  bool StartServer(TXServer& AServer)
  {
    QFETCH(bool, windowManager);
    if (!AServer.Start(windowManager)) {
      if (AServer.Error.contains(QStringLiteral("not installed")))
        QTest::qSkip(qPrintable(AServer.Error), __FILE__, __LINE__);
      else
        QTest::qFail(qPrintable(AServer.Error), __FILE__, __LINE__);
      return false;
    }
    return true;
  }
};

void TestProgramWindows::init()
{
  // Root ends no program, so every test after the first runs as an ordinary user (for good: a
  // process cannot take root back).
  if (qstrcmp(QTest::currentTestFunction(), "rootTerminatesNothing") != 0)
    QVERIFY(DropRootForGood());
}

void TestProgramWindows::rootTerminatesNothing()
{
  if (::geteuid() != 0)
    QSKIP("This test runs as root only.");
  TXServer server;
  if (!server.Start(false))
    QSKIP(qPrintable(server.Error));
  QStringList said;
  auto windows = CreateProgramWindows([&said](const QString& ALine) { said << ALine; });
  QProcess* stubborn =
      server.StartStubborn({QStringLiteral("Stated"), QStringLiteral("Stubborn"), QStringLiteral("pid")});
  const TWindowId window = StubbornWindow(stubborn);
  QVERIFY(window != 0);
  QVERIFY(!windows->TerminateProgramWindow(window));
  QVERIFY(said.contains(QStringLiteral("Programs are not terminated while this program runs as root.")));
  QVERIFY(!TXServer::WaitEnded(stubborn, 500));
}

void TestProgramWindows::listsTheProgramsWindows()
{
  TXServer server;
  if (!StartServer(server))
    return;
  auto windows = CreateProgramWindows();
  server.StartClient(QStringLiteral("xlogo"));
  QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QString(), QStringLiteral("XLogo")) != 0, 30000);
  const TWindowId ledger = StubbornWindow(server.StartStubborn({QStringLiteral("Ledger"), QStringLiteral("Stubborn")}));
  const TWindowId hidden = StubbornWindow(
      server.StartStubborn({QStringLiteral("Hidden"), QStringLiteral("Stubborn"), QStringLiteral("hidden")}));
  const TWindowId journal = StubbornWindow(
      server.StartStubborn({QStringLiteral("Journal"), QStringLiteral("Books"), QStringLiteral("owned")}));
  QVERIFY(ledger != 0 && hidden != 0 && journal != 0);
  // A window manager lists a window a moment before it shows it.
  const auto dialogShown = [&windows] {
    for (const TProgramWindow& window : windows->Windows())
      if (window.Title == QStringLiteral("Journal Options"))
        return window.Visible;
    return false;
  };
  QTRY_VERIFY_WITH_TIMEOUT(dialogShown(), 30000);

  const QList<TProgramWindow> list = windows->Windows();
  const TWindowId logo = windows->FindProgramWindow(QString(), QStringLiteral("XLogo"));
  const TProgramWindow* xlogo = WindowOf(list, logo);
  QVERIFY(xlogo);
  QCOMPARE(xlogo->Title, QStringLiteral("xlogo"));
  QCOMPARE(xlogo->ClassName, QStringLiteral("XLogo"));
  QVERIFY(xlogo->Visible);
  QCOMPARE(xlogo->Owner, TWindowId(0));
  {
    const TProgramWindow* window = WindowOf(list, ledger);
    QVERIFY(window);
    QCOMPARE(window->Title, QStringLiteral("Ledger"));
    QCOMPARE(window->ClassName, QStringLiteral("Stubborn"));
  }
  {
    // A window never shown is not listed as visible (a window manager does not list it at all).
    const TProgramWindow* window = WindowOf(list, hidden);
    QVERIFY(!window || !window->Visible);
  }
  {
    // A dialog names the window it belongs to.
    const TProgramWindow* dialog =
        WindowOf(list, windows->FindProgramWindow(QStringLiteral("Journal Options"), QString()));
    QVERIFY(dialog);
    QCOMPARE(dialog->Owner, journal);
    QVERIFY(dialog->Visible);
  }
  // Top of the stacking order first: the program started last lies above the first one.
  QVERIFY(IndexOf(list, journal) >= 0);
  QVERIFY(IndexOf(list, journal) < IndexOf(list, logo));
}

void TestProgramWindows::findsByTheLookupsInOrder()
{
  TXServer server;
  if (!StartServer(server))
    return;
  auto windows = CreateProgramWindows();
  server.StartClient(QStringLiteral("xlogo"));
  const TWindowId ledger = StubbornWindow(server.StartStubborn({QStringLiteral("Ledger"), QStringLiteral("Stubborn")}));
  const TWindowId untitled = StubbornWindow(server.StartStubborn({QString(), QStringLiteral("Nameless")}));
  QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QString(), QStringLiteral("XLogo")) != 0, 30000);
  QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QString(), QStringLiteral("Nameless")) == untitled, 30000);
  const TWindowId logo = windows->FindProgramWindow(QString(), QStringLiteral("XLogo"));

  // The class is looked up first, whatever the title says now.
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("An old title"), QStringLiteral("XLogo")), logo);
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("Ledger"), QStringLiteral("XLogo")), logo);
  // Without a class the title finds it; then the name is tried as a class.
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("Ledger"), QString()), ledger);
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("Ledger"), QStringLiteral("NoSuchClass")), ledger);
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("stubborn"), QString()), ledger);
  // Whole texts, letter case ignored.
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("LEDGER"), QString()), ledger);
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("Ledg"), QString()), TWindowId(0));
  QCOMPARE(windows->FindProgramWindow(QString(), QStringLiteral("xlog")), TWindowId(0));
  // Empty keys match nothing, not even the untitled window.
  QCOMPARE(windows->FindProgramWindow(QString(), QString()), TWindowId(0));
  QCOMPARE(windows->FindProgramWindow(QString(), QStringLiteral("NoSuchClass")), TWindowId(0));
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("No such title"), QStringLiteral("NoSuchClass")), TWindowId(0));
}

void TestProgramWindows::closeEndsProgramsThatAgree()
{
  TXServer server;
  if (!StartServer(server))
    return;
  auto windows = CreateProgramWindows();
  QProcess* logo = server.StartClient(QStringLiteral("xlogo"));
  QProcess* clock = server.StartClient(QStringLiteral("xclock"));
  QProcess* eyes = server.StartClient(QStringLiteral("xeyes"));
  for (const char* name : {"XLogo", "XClock", "XEyes"})
    QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QString(), QString::fromLatin1(name)) != 0, 30000);

  // The listed programs that have a window, in the list's order, are asked to close.
  const QList<TListedProgram> found = CloseListedPrograms(
      *windows, {QStringLiteral("Nothing=NoSuchClass"), QStringLiteral("Clock=XClock"), QStringLiteral("xlogo")}, true);
  QCOMPARE(found.size(), 2);
  QCOMPARE(found[0].Name, QStringLiteral("Clock"));
  QCOMPARE(found[0].ClassName, QStringLiteral("XClock"));
  QCOMPARE(found[1].Name, QStringLiteral("xlogo"));
  QCOMPARE(found[1].ClassName, QString());
  QVERIFY(windows->CloseProgramWindow(windows->FindProgramWindow(QString(), QStringLiteral("XEyes"))));

  // Each ends by itself, as after a click on its close box. A program that had not yet said it
  // takes close requests when its window appeared is asked again, as the dialog's refresh does.
  const auto allEnded = [&] {
    (void)CloseListedPrograms(
        *windows, {QStringLiteral("Clock=XClock"), QStringLiteral("xlogo"), QStringLiteral("=XEyes")}, true);
    return logo->state() == QProcess::NotRunning && clock->state() == QProcess::NotRunning &&
           eyes->state() == QProcess::NotRunning;
  };
  QTRY_VERIFY_WITH_TIMEOUT(allEnded(), 30000);
  for (QProcess* process : {logo, clock, eyes}) {
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 0);
  }
  QTRY_COMPARE_WITH_TIMEOUT(windows->Windows().size(), 0, 30000);
  QVERIFY(!windows->CloseProgramWindow(0));
}

void TestProgramWindows::terminateEndsProgramsThatIgnoreTheClose()
{
  TXServer server;
  if (!StartServer(server))
    return;
  auto windows = CreateProgramWindows();
  // One states its process id, one does not (the X server knows it), nor does xeyes.
  QProcess* stated =
      server.StartStubborn({QStringLiteral("Stated"), QStringLiteral("Stubborn"), QStringLiteral("pid")});
  QProcess* unstated = server.StartStubborn({QStringLiteral("Unstated"), QStringLiteral("Stubborn")});
  QProcess* eyes = server.StartClient(QStringLiteral("xeyes"));
  QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QString(), QStringLiteral("XEyes")) != 0, 30000);
  QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QStringLiteral("Unstated"), QString()) != 0, 30000);

  // A close request changes nothing for a program that ignores it.
  QVERIFY(windows->CloseProgramWindow(windows->FindProgramWindow(QStringLiteral("Stated"), QString())));

  QVERIFY(windows->TerminateProgramWindow(windows->FindProgramWindow(QStringLiteral("Stated"), QString())));
  QVERIFY(windows->TerminateProgramWindow(windows->FindProgramWindow(QStringLiteral("Unstated"), QString())));
  QVERIFY(windows->TerminateProgramWindow(windows->FindProgramWindow(QString(), QStringLiteral("XEyes"))));
  for (QProcess* process : {stated, unstated, eyes}) {
    QVERIFY(TXServer::WaitEnded(process));
    QCOMPARE(process->exitStatus(), QProcess::CrashExit);
  }
  {
    // A window that names another process of the user's: the X server's word decides, and the
    // named process lives on.
    QProcess decoy;
    decoy.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    QVERIFY(decoy.waitForStarted());
    QProcess* liar = server.StartStubborn(
        {QStringLiteral("Liar"), QStringLiteral("Stubborn"), QStringLiteral("pid=%1").arg(decoy.processId())});
    QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QStringLiteral("Liar"), QString()) != 0, 30000);
    QVERIFY(windows->TerminateProgramWindow(windows->FindProgramWindow(QStringLiteral("Liar"), QString())));
    QVERIFY(TXServer::WaitEnded(liar));
    QCOMPARE(decoy.state(), QProcess::Running);
    decoy.kill();
    decoy.waitForFinished();
  }
  // A window that has gone ends nothing.
  QTRY_COMPARE_WITH_TIMEOUT(windows->FindProgramWindow(QStringLiteral("Stated"), QString()), TWindowId(0), 30000);
  QVERIFY(!windows->TerminateProgramWindow(0));
}

void TestProgramWindows::ownWindowsAreNeverListed()
{
  TXServer server;
  if (!StartServer(server))
    return;
  // A window of this process, named like a program a profile could list. A server busy with
  // another test's clients may refuse the first attempts.
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  for (int attempt = 0; attempt < 50 && xcb_connection_has_error(connection); ++attempt) {
    xcb_disconnect(connection);
    QTest::qWait(100);
    connection = xcb_connect(nullptr, nullptr);
  }
  QVERIFY(!xcb_connection_has_error(connection));
  const auto disconnect = qScopeGuard([connection] { xcb_disconnect(connection); });
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const xcb_window_t own = xcb_generate_id(connection);
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, own, screen->root, 0, 0, 100, 100, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
  static const char windowClass[] = "own\0Own";
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, own, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof windowClass,
                      windowClass);
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, own, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 3, "Own");
  xcb_map_window(connection, own);
  xcb_flush(connection);

  // Another program's window, shown after this one, is seen; this one never is.
  auto windows = CreateProgramWindows();
  server.StartClient(QStringLiteral("xlogo"));
  QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QString(), QStringLiteral("XLogo")) != 0, 30000);
  const QList<TProgramWindow> list = windows->Windows();
  QVERIFY(WindowOf(list, own) == nullptr);
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("Own"), QStringLiteral("Own")), TWindowId(0));
  QVERIFY(CloseListedPrograms(*windows, {QStringLiteral("Own=Own")}, false).isEmpty());
}

void TestProgramWindows::withoutAnXServerNothingIsSeen()
{
  const QByteArray saved = qgetenv("DISPLAY");
  qunsetenv("DISPLAY");
  QStringList said;
  auto windows = CreateProgramWindows([&said](const QString& ALine) { said << ALine; });
  QVERIFY(windows->Windows().isEmpty());
  QCOMPARE(windows->FindProgramWindow(QStringLiteral("xlogo"), QStringLiteral("XLogo")), TWindowId(0));
  QVERIFY(!windows->CloseProgramWindow(1));
  QVERIFY(!windows->TerminateProgramWindow(1));
  QVERIFY(CloseListedPrograms(*windows, {QStringLiteral("xlogo=XLogo")}, false).isEmpty());
  // Said once, however often the windows are asked for.
  QCOMPARE(said.size(), 1);
  QVERIFY(said[0].contains(QStringLiteral("No X server")));
  if (!saved.isEmpty())
    qputenv("DISPLAY", saved);
}

void TestProgramWindows::nativeProgramsOutOfReachAreNamed()
{
  // A program with a name of its own, running without any window this facility can see.
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString program = folder.filePath(QStringLiteral("zzeditor4711"));
  QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
  QProcess editor;
  editor.start(program, {QStringLiteral("60")});
  QVERIFY(editor.waitForStarted());
  const auto stop = qScopeGuard([&editor] {
    editor.kill();
    editor.waitForFinished();
  });
  const QByteArray savedDisplay = qgetenv("DISPLAY");
  const QByteArray savedWayland = qgetenv("WAYLAND_DISPLAY");
  const auto restore = qScopeGuard([&] {
    for (const auto& [name, value] : {std::pair{"DISPLAY", savedDisplay}, std::pair{"WAYLAND_DISPLAY", savedWayland}})
      value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
  });
  qunsetenv("DISPLAY");
  const QStringList programs = {QStringLiteral("Editor=zzeditor4711"), QStringLiteral("zzeditor4711"),
                                QStringLiteral("Absent=zzabsent4711")};
  {
    // Outside a Wayland session every window is within the X server's reach.
    qunsetenv("WAYLAND_DISPLAY");
    QVERIFY(CreateProgramWindows()->UnreachablePrograms(programs).isEmpty());
  }
  qputenv("WAYLAND_DISPLAY", "wayland-0");
  QStringList said;
  auto windows = CreateProgramWindows([&said](const QString& ALine) {
    if (ALine.contains(QStringLiteral("cannot be closed on this desktop")))
      said << ALine;
  });
  {
    // By class and by title; a program that does not run is not named.
    const QList<TListedProgram> unreachable = windows->UnreachablePrograms(programs);
    QCOMPARE(unreachable.size(), 2);
    QCOMPARE(unreachable[0].Name, QStringLiteral("Editor"));
    QCOMPARE(unreachable[0].ClassName, QStringLiteral("zzeditor4711"));
    QCOMPARE(unreachable[0].Window, TWindowId(0));
    QCOMPARE(unreachable[1].Name, QStringLiteral("zzeditor4711"));
    QCOMPARE(said.size(), 2);
    QVERIFY2(said[0].startsWith(QStringLiteral("Editor (zzeditor4711) ")), qPrintable(said[0]));
  }
  {
    // Named in the log once while it runs, again once it has run anew.
    QCOMPARE(windows->UnreachablePrograms(programs).size(), 2);
    QCOMPARE(said.size(), 2);
    editor.kill();
    QVERIFY(editor.waitForFinished());
    QVERIFY(windows->UnreachablePrograms(programs).isEmpty());
    editor.start(program, {QStringLiteral("60")});
    QVERIFY(editor.waitForStarted());
    QCOMPARE(windows->UnreachablePrograms(programs).size(), 2);
    QCOMPARE(said.size(), 4);
  }
}

QTEST_GUILESS_MAIN(TestProgramWindows)
#include "tst_programwindows.moc"
