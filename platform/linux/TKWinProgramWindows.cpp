// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TKWinProgramWindows.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QTemporaryFile>
#include <QWaitCondition>

#include <algorithm>
#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcKWin, "corvale.windows.kwin", QtWarningMsg)

namespace {

const QString ScriptingPath = QStringLiteral("/Scripting");
const QString ScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString ScriptInterface = QStringLiteral("org.kde.kwin.Script");
const QString AnswerPath = QStringLiteral("/com/quenfield/Corvale/KWinAnswers");
const QString AnswerInterface = QStringLiteral("com.quenfield.Corvale.KWinAnswers");
const int CallTimeOutMs = 5000;

// Runs in KWin 5 (clientList, QByteArray class names) and 6 (windowList, strings), with plain
// loops since a list KWin hands over need not be a JavaScript array. The first line, written by
// the program, names where the answer goes and which window to close; a name two windows share
// closes neither.
const char ScriptBody[] =
    "function text(value) {\n"
    "  if (typeof value === \"string\")\n"
    "    return value;\n"
    "  if (value instanceof ArrayBuffer)\n"
    "    return String.fromCharCode.apply(null, new Uint8Array(value));\n"
    "  return value === undefined || value === null ? \"\" : String(value);\n"
    "}\n"
    "var windows = workspace.windowList ? workspace.windowList() : workspace.clientList();\n"
    "var named = 0;\n"
    "for (var i = 0; i < windows.length; ++i)\n"
    "  if (String(windows[i].internalId) === corvale.close)\n"
    "    ++named;\n"
    "var result = [];\n"
    "for (var i = 0; i < windows.length; ++i) {\n"
    "  var window = windows[i];\n"
    "  if (!window.normalWindow && !window.dialog)\n"
    "    continue;\n"
    "  var id = String(window.internalId);\n"
    "  if (named === 1 && id === corvale.close) {\n"
    "    window.closeWindow();\n"
    "    continue;\n"
    "  }\n"
    "  result.push({id: id, title: text(window.caption), className: text(window.resourceClass), pid: window.pid,\n"
    "               owner: window.transientFor ? String(window.transientFor.internalId) : \"\"});\n"
    "}\n"
    "callDBus(corvale.service, corvale.path, corvale.interface, \"Answer\", corvale.token, JSON.stringify(result));\n";

} // namespace

// Receives the scripts' answers on its own thread and hands them to the waiting caller.
class TKWinAnswers : public QObject
{
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.quenfield.Corvale.KWinAnswers")

public:
  // The answer for AToken, waiting up to ATimeOutMs; false when none came.
  bool Await(const QString& AToken, int ATimeOutMs, QString& AText)
  {
    const QDeadlineTimer deadline(ATimeOutMs);
    QMutexLocker lock(&FMutex);
    while (!FAnswers.contains(AToken))
      if (!FArrived.wait(&FMutex, deadline))
        return false;
    AText = FAnswers.take(AToken);
    return true;
  }

public slots:
  Q_SCRIPTABLE void Answer(const QString& AToken, const QString& AText)
  {
    QMutexLocker lock(&FMutex);
    FAnswers.insert(AToken, AText);
    FArrived.wakeAll();
  }

private:
  QMutex FMutex;
  QWaitCondition FArrived;
  QHash<QString, QString> FAnswers;
};

TKWinProgramWindows::TKWinProgramWindows(const QDBusConnection& ASessionBus)
  : FBus(ASessionBus)
  , FAnswers(new TKWinAnswers)
{
  FAnswers->moveToThread(&FAnswerThread);
  QObject::connect(&FAnswerThread, &QThread::finished, FAnswers, &QObject::deleteLater);
  FAnswerThread.start();
  if (!FBus.registerObject(AnswerPath, FAnswers, QDBusConnection::ExportScriptableSlots))
    qCWarning(lcKWin) << "Cannot receive KWin's answers:" << FBus.lastError().message();
}

TKWinProgramWindows::~TKWinProgramWindows()
{
  FBus.unregisterObject(AnswerPath);
  FAnswerThread.quit();
  FAnswerThread.wait();
}

bool TKWinProgramWindows::Runs(QDBusConnection& ASessionBus)
{
  if (!ASessionBus.isConnected() || !ASessionBus.interface())
    return false;
  const QDBusReply<bool> owned = ASessionBus.interface()->isServiceRegistered(Service);
  return owned.isValid() && owned.value();
}

bool TKWinProgramWindows::RunScript(const QString& AClose, QList<TProgramWindow>& AWindows)
{
  const QString token = QString::number(++FScripts);
  const QJsonObject parameters{{QStringLiteral("service"), FBus.baseService()},
                               {QStringLiteral("path"), AnswerPath},
                               {QStringLiteral("interface"), AnswerInterface},
                               {QStringLiteral("token"), token},
                               {QStringLiteral("close"), AClose}};
  QTemporaryFile script(QDir::tempPath() + QStringLiteral("/corvale-kwin-XXXXXX.js"));
  if (!script.open() ||
      script.write("var corvale = " + QJsonDocument(parameters).toJson(QJsonDocument::Compact) + ";\n" + ScriptBody) <
          0 ||
      !script.flush()) {
    qCWarning(lcKWin) << "Cannot write the script:" << script.errorString();
    return false;
  }
  const QString plugin = QStringLiteral("corvale-windows-") + QString::number(::getpid()) + QLatin1Char('-') + token;
  QDBusMessage load =
      QDBusMessage::createMethodCall(Service, ScriptingPath, ScriptingInterface, QStringLiteral("loadScript"));
  load << script.fileName() << plugin;
  const QDBusReply<int> loaded = FBus.call(load, QDBus::Block, CallTimeOutMs);
  if (!loaded.isValid() || loaded.value() < 0) {
    qCWarning(lcKWin) << "KWin did not load the script:" << loaded.error().message();
    return false;
  }
  const QDBusMessage run = FBus.call(
      QDBusMessage::createMethodCall(Service, QStringLiteral("/Scripting/Script") + QString::number(loaded.value()),
                                     ScriptInterface, QStringLiteral("run")),
      QDBus::Block, CallTimeOutMs);
  QString answer;
  const bool answered = run.type() == QDBusMessage::ReplyMessage && FAnswers->Await(token, CallTimeOutMs, answer);
  QDBusMessage unload =
      QDBusMessage::createMethodCall(Service, ScriptingPath, ScriptingInterface, QStringLiteral("unloadScript"));
  unload << plugin;
  (void)FBus.call(unload, QDBus::Block, CallTimeOutMs);
  if (!answered) {
    qCWarning(lcKWin) << "KWin's script sent no answer:" << run.errorMessage();
    return false;
  }

  AWindows.clear();
  QHash<TWindowId, QString> owners;
  QSet<QString> seen;
  for (const QJsonValue& value : QJsonDocument::fromJson(answer.toUtf8()).array()) {
    const QJsonObject entry = value.toObject();
    const QString uuid = entry.value(QStringLiteral("id")).toString();
    // A close goes to the window with this name: a name that is not unique names no window.
    if (seen.contains(uuid)) {
      qCWarning(lcKWin) << "KWin named two windows" << uuid << "- its windows are not used";
      AWindows.clear();
      return false;
    }
    seen.insert(uuid);
    const qint64 pid = entry.value(QStringLiteral("pid")).toInteger();
    // Never this program's own windows.
    if (uuid.isEmpty() || pid == ::getpid())
      continue;
    TWindowId& id = FIds[uuid];
    if (id == 0) {
      id = FNextId++;
      FUuids.insert(id, uuid);
    }
    FProcesses.insert(id, pid);
    TProgramWindow window;
    window.Id = id;
    window.Title = entry.value(QStringLiteral("title")).toString();
    window.ClassName = entry.value(QStringLiteral("className")).toString();
    // KWin lists the windows it manages, which are shown (perhaps minimised).
    window.Visible = true;
    owners.insert(id, entry.value(QStringLiteral("owner")).toString());
    AWindows << window;
  }
  for (TProgramWindow& window : AWindows)
    window.Owner = FIds.value(owners.value(window.Id));
  return true;
}

QList<TProgramWindow> TKWinProgramWindows::Windows()
{
  QList<TProgramWindow> windows;
  (void)RunScript(QString(), windows);
  return windows;
}

bool TKWinProgramWindows::CloseProgramWindow(TWindowId AWindow)
{
  const QString uuid = FUuids.value(AWindow);
  QList<TProgramWindow> windows;
  return !uuid.isEmpty() && RunScript(uuid, windows);
}

bool TKWinProgramWindows::TerminateProgramWindow(TWindowId AWindow)
{
  QList<TProgramWindow> windows;
  if (!RunScript(QString(), windows) ||
      std::none_of(windows.begin(), windows.end(),
                   [AWindow](const TProgramWindow& AShown) { return AShown.Id == AWindow; }))
    return false;
  // Never this program, never another user's process.
  const qint64 pid = FProcesses.value(AWindow);
  struct stat status
  {};
  const QByteArray path = "/proc/" + QByteArray::number(pid);
  if (pid <= 0 || pid == ::getpid() || ::stat(path.constData(), &status) != 0 || status.st_uid != ::getuid())
    return false;
  return ::kill(pid_t(pid), SIGKILL) == 0;
}

#include "TKWinProgramWindows.moc"
