// SPDX-License-Identifier: GPL-3.0-or-later
// Programs' windows on an X server (XWayland included), through xcb with the ICCCM and EWMH
// conventions and the X-Resource extension.
#include "platform/TProgramWindows.h"
#include "platform/linux/TKWinProgramWindows.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

namespace {

// Text properties are UTF-8 in practice; the ICCCM's own encoding is Latin-1, and compound text
// without escape sequences is Latin-1 too.
QString PropertyText(const char* AData, int ALength, bool AUtf8)
{
  const QByteArrayView bytes(AData, std::max(ALength, 0));
  if (AUtf8)
    return QString::fromUtf8(bytes);
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder.decode(bytes);
  return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

template <typename T> struct TFree
{
  void operator()(T* APointer) const { std::free(APointer); }
};
template <typename T> using TReply = std::unique_ptr<T, TFree<T>>;

class TXcbProgramWindows final : public TProgramWindows
{
public:
  TXcbProgramWindows(std::function<void(const QString&)> AOnLog, bool AWaylandSession)
    : FOnLog(std::move(AOnLog))
    , FWaylandSession(AWaylandSession)
  {}
  ~TXcbProgramWindows() override { Disconnect(); }

  QList<TProgramWindow> Windows() override;
  bool CloseProgramWindow(TWindowId AWindow) override;
  bool TerminateProgramWindow(TWindowId AWindow) override;
  QList<TListedProgram> UnreachablePrograms(const QStringList& APrograms) override;

private:
  bool Connect();
  void Disconnect();
  xcb_window_t Root() const { return FEwmh.screens[FScreen]->root; }
  bool WindowManagerRuns();
  bool WindowManagerSupports(xcb_atom_t AAtom);
  QList<xcb_window_t> ClientWindows();
  xcb_window_t ClientOf(xcb_window_t AWindow, int ADepth);
  bool HasProperty(xcb_window_t AWindow, xcb_atom_t AProperty);
  pid_t ProcessOf(xcb_window_t AWindow);

  std::function<void(const QString&)> FOnLog;
  bool FToldNoServer = false;
  bool FToldRoot = false;
  // Native Wayland windows exist beside the X server's, out of its reach.
  bool FWaylandSession = false;
  // The unreachable entries the log has named, until they no longer run.
  QSet<QString> FToldUnreachable;
  xcb_connection_t* FConnection = nullptr;
  xcb_ewmh_connection_t FEwmh{};
  int FScreen = 0;
  xcb_atom_t FWmState = XCB_ATOM_NONE;
  xcb_atom_t FWmDeleteWindow = XCB_ATOM_NONE;
  bool FResources = false; // the X-Resource extension answers client process ids
};

bool TXcbProgramWindows::Connect()
{
  if (FConnection && !xcb_connection_has_error(FConnection))
    return true;
  Disconnect();
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screen);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    if (!FToldNoServer && FOnLog) {
      const QByteArray display = qgetenv("DISPLAY");
      FOnLog(display.isEmpty()
                 ? QStringLiteral("No X server (DISPLAY is not set): programs listed in profiles are not closed.")
                 : QStringLiteral("The X server \"%1\" cannot be reached: programs listed in profiles are not closed.")
                       .arg(QString::fromLocal8Bit(display)));
    }
    FToldNoServer = true;
    return false;
  }
  FConnection = connection;
  FScreen = screen;
  xcb_intern_atom_cookie_t* ewmhCookies = xcb_ewmh_init_atoms(FConnection, &FEwmh);
  const xcb_intern_atom_cookie_t stateCookie = xcb_intern_atom(FConnection, 0, 8, "WM_STATE");
  const xcb_intern_atom_cookie_t deleteCookie = xcb_intern_atom(FConnection, 0, 16, "WM_DELETE_WINDOW");
  const bool ewmh = xcb_ewmh_init_atoms_replies(&FEwmh, ewmhCookies, nullptr) != 0;
  TReply<xcb_intern_atom_reply_t> state(xcb_intern_atom_reply(FConnection, stateCookie, nullptr));
  TReply<xcb_intern_atom_reply_t> deleteWindow(xcb_intern_atom_reply(FConnection, deleteCookie, nullptr));
  if (!ewmh || !state || !deleteWindow || FScreen < 0 || FScreen >= FEwmh.nb_screens) {
    if (ewmh)
      xcb_ewmh_connection_wipe(&FEwmh);
    FEwmh = {};
    xcb_disconnect(FConnection);
    FConnection = nullptr;
    return false;
  }
  FWmState = state->atom;
  FWmDeleteWindow = deleteWindow->atom;
  FResources = false;
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(FConnection, &xcb_res_id);
  if (extension && extension->present) {
    TReply<xcb_res_query_version_reply_t> version(
        xcb_res_query_version_reply(FConnection, xcb_res_query_version(FConnection, 1, 2), nullptr));
    FResources = version && (version->server_major > 1 || (version->server_major == 1 && version->server_minor >= 2));
  }
  return true;
}

void TXcbProgramWindows::Disconnect()
{
  if (!FConnection)
    return;
  xcb_ewmh_connection_wipe(&FEwmh);
  FEwmh = {};
  xcb_disconnect(FConnection);
  FConnection = nullptr;
}

// A window manager that follows the EWMH names its check window on the root and on that window
// itself; a property left behind by one that has gone names a window that no longer says so.
bool TXcbProgramWindows::WindowManagerRuns()
{
  xcb_window_t check = XCB_WINDOW_NONE;
  if (!xcb_ewmh_get_supporting_wm_check_reply(&FEwmh, xcb_ewmh_get_supporting_wm_check(&FEwmh, Root()), &check,
                                              nullptr))
    return false;
  xcb_window_t self = XCB_WINDOW_NONE;
  return xcb_ewmh_get_supporting_wm_check_reply(&FEwmh, xcb_ewmh_get_supporting_wm_check(&FEwmh, check), &self,
                                                nullptr) &&
         self == check;
}

bool TXcbProgramWindows::WindowManagerSupports(xcb_atom_t AAtom)
{
  if (!WindowManagerRuns())
    return false;
  xcb_ewmh_get_atoms_reply_t supported{};
  if (!xcb_ewmh_get_supported_reply(&FEwmh, xcb_ewmh_get_supported(&FEwmh, FScreen), &supported, nullptr))
    return false;
  const bool found =
      std::find(supported.atoms, supported.atoms + supported.atoms_len, AAtom) != supported.atoms + supported.atoms_len;
  xcb_ewmh_get_atoms_reply_wipe(&supported);
  return found;
}

bool TXcbProgramWindows::HasProperty(xcb_window_t AWindow, xcb_atom_t AProperty)
{
  TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      FConnection, xcb_get_property(FConnection, 0, AWindow, AProperty, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
  return reply && reply->type != XCB_ATOM_NONE;
}

// The client window at or below a child of the root: the one carrying WM_STATE (a window
// manager's frame holds it), else, with no window manager to set WM_STATE, the child itself
// when it names its class or title.
xcb_window_t TXcbProgramWindows::ClientOf(xcb_window_t AWindow, int ADepth)
{
  if (HasProperty(AWindow, FWmState))
    return AWindow;
  if (ADepth > 0) {
    TReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, AWindow), nullptr));
    if (tree) {
      const xcb_window_t* children = xcb_query_tree_children(tree.get());
      for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        if (HasProperty(children[i], FWmState))
          return children[i];
      }
    }
  }
  return XCB_WINDOW_NONE;
}

QList<xcb_window_t> TXcbProgramWindows::ClientWindows()
{
  QList<xcb_window_t> clients;
  if (WindowManagerRuns()) {
    xcb_ewmh_get_windows_reply_t list{};
    // Bottom to top; the list in mapping order serves a manager that keeps no stacking list.
    if (xcb_ewmh_get_client_list_stacking_reply(&FEwmh, xcb_ewmh_get_client_list_stacking(&FEwmh, FScreen), &list,
                                                nullptr)) {
      for (uint32_t i = list.windows_len; i > 0; --i)
        clients << list.windows[i - 1];
      xcb_ewmh_get_windows_reply_wipe(&list);
      return clients;
    }
    if (xcb_ewmh_get_client_list_reply(&FEwmh, xcb_ewmh_get_client_list(&FEwmh, FScreen), &list, nullptr)) {
      for (uint32_t i = list.windows_len; i > 0; --i)
        clients << list.windows[i - 1];
      xcb_ewmh_get_windows_reply_wipe(&list);
      return clients;
    }
  }
  TReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, Root()), nullptr));
  if (!tree)
    return clients;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  // The root's children come bottom to top.
  for (int i = count - 1; i >= 0; --i) {
    TReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(FConnection, xcb_get_window_attributes(FConnection, children[i]), nullptr));
    // Menus, tooltips and input-only windows are no program's window.
    if (!attributes || attributes->override_redirect || attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
      continue;
    xcb_window_t client = ClientOf(children[i], 1);
    if (client == XCB_WINDOW_NONE &&
        (HasProperty(children[i], XCB_ATOM_WM_CLASS) || HasProperty(children[i], XCB_ATOM_WM_NAME)))
      client = children[i];
    if (client != XCB_WINDOW_NONE)
      clients << client;
  }
  return clients;
}

QList<TProgramWindow> TXcbProgramWindows::Windows()
{
  QList<TProgramWindow> windows;
  if (!Connect())
    return windows;
  const QList<xcb_window_t> clients = ClientWindows();
  struct TCookies
  {
    xcb_get_property_cookie_t NetName, Name, ClassName, TransientFor, State;
    xcb_get_window_attributes_cookie_t Attributes;
  };
  QList<TCookies> cookies;
  cookies.reserve(clients.size());
  for (const xcb_window_t window : clients)
    cookies << TCookies{xcb_ewmh_get_wm_name(&FEwmh, window),
                        xcb_icccm_get_wm_name(FConnection, window),
                        xcb_icccm_get_wm_class(FConnection, window),
                        xcb_icccm_get_wm_transient_for(FConnection, window),
                        xcb_get_property(FConnection, 0, window, FWmState, FWmState, 0, 2),
                        xcb_get_window_attributes(FConnection, window)};
  for (qsizetype i = 0; i < clients.size(); ++i) {
    const TCookies& cookie = cookies[i];
    TProgramWindow window;
    window.Id = clients[i];

    xcb_ewmh_get_utf8_strings_reply_t netName{};
    const bool hasNetName = xcb_ewmh_get_wm_name_reply(&FEwmh, cookie.NetName, &netName, nullptr);
    xcb_icccm_get_text_property_reply_t name{};
    const bool hasName = xcb_icccm_get_wm_name_reply(FConnection, cookie.Name, &name, nullptr);
    if (hasNetName)
      window.Title = PropertyText(netName.strings, int(netName.strings_len), true);
    else if (hasName)
      window.Title = PropertyText(name.name, int(name.name_len), name.encoding == FEwmh.UTF8_STRING);
    if (hasNetName)
      xcb_ewmh_get_utf8_strings_reply_wipe(&netName);
    if (hasName)
      xcb_icccm_get_text_property_reply_wipe(&name);
    // A title ends at its first NUL, as a C string would.
    window.Title.truncate(window.Title.indexOf(QChar(0)) < 0 ? window.Title.size() : window.Title.indexOf(QChar(0)));

    xcb_icccm_get_wm_class_reply_t windowClass{};
    if (xcb_icccm_get_wm_class_reply(FConnection, cookie.ClassName, &windowClass, nullptr)) {
      if (windowClass.class_name)
        window.ClassName = PropertyText(windowClass.class_name, int(qstrlen(windowClass.class_name)), false);
      xcb_icccm_get_wm_class_reply_wipe(&windowClass);
    }

    xcb_window_t owner = XCB_WINDOW_NONE;
    if (xcb_icccm_get_wm_transient_for_reply(FConnection, cookie.TransientFor, &owner, nullptr))
      window.Owner = owner;

    TReply<xcb_get_property_reply_t> state(xcb_get_property_reply(FConnection, cookie.State, nullptr));
    TReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(FConnection, cookie.Attributes, nullptr));
    if (!attributes)
      continue; // gone meanwhile
    if (state && state->type == FWmState && state->format == 32 && xcb_get_property_value_length(state.get()) >= 4) {
      // Normal or iconic: shown, perhaps minimised; withdrawn: not shown.
      const uint32_t value = *static_cast<const uint32_t*>(xcb_get_property_value(state.get()));
      window.Visible = value == XCB_ICCCM_WM_STATE_NORMAL || value == XCB_ICCCM_WM_STATE_ICONIC;
    } else {
      window.Visible = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    }
    // This program's own windows are never a program to close (under XWayland they are X11
    // windows like any other).
    if (ProcessOf(window.Id) == ::getpid())
      continue;
    windows << window;
  }
  return windows;
}

bool TXcbProgramWindows::CloseProgramWindow(TWindowId AWindow)
{
  if (AWindow == 0 || !Connect())
    return false;
  // A window manager closes the window as its own close box does, and the program gets the
  // request once.
  if (WindowManagerSupports(FEwmh._NET_CLOSE_WINDOW)) {
    xcb_ewmh_request_close_window(&FEwmh, FScreen, AWindow, XCB_CURRENT_TIME, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    return xcb_flush(FConnection) > 0;
  }
  xcb_icccm_get_wm_protocols_reply_t protocols{};
  if (!xcb_icccm_get_wm_protocols_reply(
          FConnection, xcb_icccm_get_wm_protocols(FConnection, AWindow, FEwmh.WM_PROTOCOLS), &protocols, nullptr))
    return false;
  const bool asks = std::find(protocols.atoms, protocols.atoms + protocols.atoms_len, FWmDeleteWindow) !=
                    protocols.atoms + protocols.atoms_len;
  xcb_icccm_get_wm_protocols_reply_wipe(&protocols);
  // A program that takes no close request can only be ended.
  if (!asks)
    return false;
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = AWindow;
  event.type = FEwmh.WM_PROTOCOLS;
  event.data.data32[0] = FWmDeleteWindow;
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(FConnection, 0, AWindow, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
  return xcb_flush(FConnection) > 0;
}

// The process that shows the window: the one the X server knows for a local client (its own
// word, which a program cannot change), else the id the window states when it runs on this
// machine. 0 when neither is known, -1 when the window has gone.
pid_t TXcbProgramWindows::ProcessOf(xcb_window_t AWindow)
{
  const xcb_get_window_attributes_cookie_t attributesCookie = xcb_get_window_attributes(FConnection, AWindow);
  TReply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(FConnection, attributesCookie, nullptr));
  if (!attributes)
    return -1;
  if (FResources) {
    xcb_res_client_id_spec_t clientQuery{};
    clientQuery.client = AWindow;
    clientQuery.mask = XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID;
    TReply<xcb_res_query_client_ids_reply_t> ids(
        xcb_res_query_client_ids_reply(FConnection, xcb_res_query_client_ids(FConnection, 1, &clientQuery), nullptr));
    if (ids) {
      for (auto it = xcb_res_query_client_ids_ids_iterator(ids.get()); it.rem > 0; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(it.data) >= 1)
          return pid_t(*xcb_res_client_id_value_value(it.data));
      }
    }
  }
  const xcb_get_property_cookie_t pidCookie = xcb_ewmh_get_wm_pid(&FEwmh, AWindow);
  const xcb_get_property_cookie_t machineCookie = xcb_icccm_get_wm_client_machine(FConnection, AWindow);
  uint32_t statedPid = 0;
  const bool hasPid = xcb_ewmh_get_wm_pid_reply(&FEwmh, pidCookie, &statedPid, nullptr);
  QByteArray machine;
  xcb_icccm_get_text_property_reply_t machineText{};
  if (xcb_icccm_get_wm_client_machine_reply(FConnection, machineCookie, &machineText, nullptr)) {
    machine = QByteArray(machineText.name, int(machineText.name_len));
    xcb_icccm_get_text_property_reply_wipe(&machineText);
  }
  char host[256] = {};
  if (hasPid && statedPid > 0 && ::gethostname(host, sizeof host - 1) == 0 && machine == QByteArray(host))
    return pid_t(statedPid);
  return 0;
}

bool TXcbProgramWindows::TerminateProgramWindow(TWindowId AWindow)
{
  if (AWindow == 0 || !Connect())
    return false;
  // As root, any process could be hit by a window that names it: nothing is ended.
  if (::geteuid() == 0) {
    if (FOnLog && !FToldRoot)
      FOnLog(QStringLiteral("Programs are not terminated while this program runs as root."));
    FToldRoot = true;
    return false;
  }
  const pid_t pid = ProcessOf(AWindow);
  if (pid < 0)
    return false;
  if (pid == 0) {
    // No process to end: the X server ends the client's connection, and with it the program.
    xcb_kill_client(FConnection, AWindow);
    return xcb_flush(FConnection) > 0;
  }
  if (pid == ::getpid())
    return false;
  // The pidfd holds on to this very process: checked while it is held, the owner cannot belong
  // to a process that took over a reused number.
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidfd < 0)
    return false;
  struct stat status
  {};
  const QByteArray path = "/proc/" + QByteArray::number(pid);
  const bool own = ::stat(path.constData(), &status) == 0 && status.st_uid == ::getuid() &&
                   ::syscall(SYS_pidfd_send_signal, pidfd, 0, nullptr, 0) == 0;
  const bool sent = own && ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0) == 0;
  ::close(pidfd);
  return sent;
}

// The names this user's running programs go by, in lower case: each process's command name (which
// the kernel cuts to 15 characters) and its executable's file name. This process is left out.
QSet<QString> RunningProgramNames()
{
  QSet<QString> names;
  const QDir processes(QStringLiteral("/proc"));
  for (const QString& entry : processes.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool numeric = false;
    const pid_t pid = pid_t(entry.toInt(&numeric));
    struct stat status
    {};
    const QByteArray path = "/proc/" + entry.toLatin1();
    if (!numeric || pid == ::getpid() || ::stat(path.constData(), &status) != 0 || status.st_uid != ::getuid())
      continue;
    QFile comm(QString::fromLatin1(path) + QStringLiteral("/comm"));
    if (comm.open(QIODevice::ReadOnly))
      names.insert(QString::fromUtf8(comm.readAll()).trimmed().toLower());
    const QString executable = QFileInfo(QString::fromLatin1(path) + QStringLiteral("/exe")).symLinkTarget();
    if (!executable.isEmpty())
      names.insert(QFileInfo(executable).fileName().toLower());
  }
  names.remove(QString());
  return names;
}

QList<TListedProgram> TXcbProgramWindows::UnreachablePrograms(const QStringList& APrograms)
{
  if (!FWaylandSession)
    return {};
  const QSet<QString> running = RunningProgramNames();
  // A program's name as a process shows it: the kernel keeps 15 characters of a command name.
  const auto runs = [&running](const QString& AName) {
    const QString name = AName.toLower();
    return !name.isEmpty() && (running.contains(name) || running.contains(name.left(15)));
  };
  QList<TListedProgram> unreachable;
  QSet<QString> stillRunning;
  for (const QString& entry : APrograms) {
    TListedProgram program = TListedProgram::FromEntry(entry);
    if ((!runs(program.ClassName) && !runs(program.Name)) || FindProgramWindow(program.Name, program.ClassName) != 0)
      continue;
    unreachable << program;
    stillRunning.insert(entry);
    if (!FToldUnreachable.contains(entry) && FOnLog)
      FOnLog(QStringLiteral("%1 (%2) may be running as a native Wayland program, which cannot be closed on this "
                            "desktop.")
                 .arg(program.Name, program.ClassName));
  }
  FToldUnreachable = stillRunning;
  return unreachable;
}

} // namespace

std::unique_ptr<TProgramWindows> CreateProgramWindows(std::function<void(const QString&)> AOnLog)
{
  const bool wayland =
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
  // KWin shows its scripts every window, native and XWayland alike.
  if (wayland) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (TKWinProgramWindows::Runs(bus))
      return std::make_unique<TKWinProgramWindows>(bus);
  }
  return std::make_unique<TXcbProgramWindows>(std::move(AOnLog), wayland);
}
