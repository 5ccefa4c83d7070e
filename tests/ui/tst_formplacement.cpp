// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TRegistry.h"
#include "settings/TProgramSettings.h"
#include "ui/FormPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {

const QString Key = QStringLiteral("\\Software\\Quenfield\\Orvel");

} // namespace

class TestFormPlacement : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void threeDisplays();
  void normalWindowComesBack_data();
  void normalWindowComesBack();
  void maximizedWindowOpensOnItsDisplay_data();
  void maximizedWindowOpensOnItsDisplay();
  void displayThatIsNotThereDoesNotMove_data();
  void displayThatIsNotThereDoesNotMove();
  void missingRegistryKeyChangesNothing();

private:
  std::unique_ptr<TProgramSettings> NewStore(TSettingsStore AStore) const;

  std::unique_ptr<QTemporaryDir> FHome;
};

void TestFormPlacement::init()
{
  FHome = std::make_unique<QTemporaryDir>();
  QVERIFY(FHome->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome->filePath(QStringLiteral("config"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FHome->filePath(QStringLiteral("etc"))));
}

std::unique_ptr<TProgramSettings> TestFormPlacement::NewStore(TSettingsStore AStore) const
{
  auto settings = std::make_unique<TProgramSettings>();
  settings->SetSettingsStore(AStore);
  settings->SetSettingsKey(Key);
  settings->SetINIFileName(FHome->filePath(QStringLiteral("settings.ini")));
  return settings;
}

void TestFormPlacement::threeDisplays()
{
  QCOMPARE(QGuiApplication::screens().size(), 3);
}

void TestFormPlacement::normalWindowComesBack_data()
{
  QTest::addColumn<int>("store");
  QTest::newRow("registry") << int(ssRegistry);
  QTest::newRow("ini") << int(ssINIFile);
}

void TestFormPlacement::normalWindowComesBack()
{
  QFETCH(int, store);
  auto settings = NewStore(TSettingsStore(store));
  {
    QWidget window;
    window.setWindowFlag(Qt::WindowStaysOnTopHint);
    window.move(100, 120);
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    SaveForm(*settings, &window);
    window.showMinimized();
    SaveForm(*settings, &window, QStringLiteral("TfrmMinimized"));
  }
  for (const QString& formClass : {QString(), QStringLiteral("TfrmMinimized")}) {
    QWidget window;
    window.setGeometry(5, 5, 50, 50);
    LoadForm(*settings, &window, formClass);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.pos(), QPoint(100, 120));
    QCOMPARE(window.size(), QSize(400, 300));
    QVERIFY(window.testAttribute(Qt::WA_Moved));
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(window.windowState(), Qt::WindowNoState); // never restored minimized
  }
  if (store == ssRegistry) {
    TRegistry registry; // an empty class text names the placement after the window's class
    QVERIFY(registry.OpenKeyReadOnly(Key + QStringLiteral("\\Forms\\QWidget")));
    QCOMPARE(registry.ReadInteger(QStringLiteral("FormStyle")), 3);
    QVERIFY(registry.OpenKeyReadOnly(Key + QStringLiteral("\\Forms\\TfrmMinimized")));
    QCOMPARE(registry.ReadInteger(QStringLiteral("WindowState")), 0);
  }
}

void TestFormPlacement::maximizedWindowOpensOnItsDisplay_data()
{
  normalWindowComesBack_data();
}

void TestFormPlacement::maximizedWindowOpensOnItsDisplay()
{
  QFETCH(int, store);
  auto settings = NewStore(TSettingsStore(store));
  const QList<QScreen*> screens = QGuiApplication::screens();
  {
    QWidget window;
    window.setGeometry(screens.at(1)->geometry().left() + 50, 60, 400, 300);
    window.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.windowState() & Qt::WindowMaximized);
    QCOMPARE(window.screen(), screens.at(1));
    SaveForm(*settings, &window, QStringLiteral("TfrmMain"));
  }
  QWidget window;
  window.setGeometry(30, 40, 200, 100);
  LoadForm(*settings, &window, QStringLiteral("TfrmMain"));
  QVERIFY(window.windowState() & Qt::WindowMaximized);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCOMPARE(window.screen(), screens.at(1));
  // Bounds were not stored: leaving the maximized state gives the window's own size back.
  window.showNormal();
  QTRY_COMPARE(window.size(), QSize(200, 100));
  QCOMPARE(window.pos(), screens.at(1)->geometry().topLeft());
}

void TestFormPlacement::displayThatIsNotThereDoesNotMove_data()
{
  normalWindowComesBack_data();
}

void TestFormPlacement::displayThatIsNotThereDoesNotMove()
{
  QFETCH(int, store);
  auto settings = NewStore(TSettingsStore(store));
  for (const int monitor : {0, 3, 7}) {
    settings->SaveFormPlacement(QStringLiteral("TfrmMain"), TFormPlacement{30, 40, 200, 100, 2, 0, monitor});
    QWidget window;
    window.move(30, 40);
    window.resize(200, 100);
    LoadForm(*settings, &window, QStringLiteral("TfrmMain"));
    QVERIFY(window.windowState() & Qt::WindowMaximized);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.screen(), QGuiApplication::screens().at(0));
    window.showNormal();
    QTRY_COMPARE(window.pos(), QPoint(30, 40));
  }
}

void TestFormPlacement::missingRegistryKeyChangesNothing()
{
  auto settings = NewStore(ssRegistry);
  QWidget window;
  window.setGeometry(30, 40, 200, 100);
  LoadForm(*settings, &window, QStringLiteral("TfrmNever"));
  QCOMPARE(window.geometry(), QRect(30, 40, 200, 100));
  QVERIFY(!TRegistry().KeyExists(Key));
}

int main(int argc, char* argv[])
{
  // Three displays side by side, so that the display rule has somewhere to go.
  QTemporaryDir folder;
  const QString config = folder.filePath(QStringLiteral("screens.json"));
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly))
    return 1;
  file.write(R"({"screens": [
    {"name": "left", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "dpr": 1},
    {"name": "middle", "x": 1024, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96, "dpr": 1},
    {"name": "right", "x": 2304, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "dpr": 1}]})");
  file.close();
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QFile::encodeName(config));
  QApplication application(argc, argv);
  TestFormPlacement test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_formplacement.moc"
