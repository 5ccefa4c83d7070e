// SPDX-License-Identifier: GPL-3.0-or-later
// An X client for tests: shows one window and ignores every request to close it.
// xstubborn TITLE CLASS [pid] [hidden] [owned]
//   pid     states its process id and machine (_NET_WM_PID, WM_CLIENT_MACHINE)
//   pid=N   states N as its process id instead (a window that lies about its process)
//   hidden  leaves the window unmapped
//   owned   adds a second window, "TITLE Options", as a dialog of the first
// Prints the window id once the windows are made.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>
#include <xcb/xcb.h>

namespace {

xcb_atom_t Atom(xcb_connection_t* AConnection, const char* AName)
{
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(AConnection, xcb_intern_atom(AConnection, 0, uint16_t(std::strlen(AName)), AName), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

void SetText(xcb_connection_t* AConnection, xcb_window_t AWindow, xcb_atom_t AProperty, xcb_atom_t AType,
             const std::string& AText)
{
  xcb_change_property(AConnection, XCB_PROP_MODE_REPLACE, AWindow, AProperty, AType, 8, uint32_t(AText.size()),
                      AText.data());
}

xcb_window_t MakeWindow(xcb_connection_t* AConnection, const xcb_screen_t* AScreen, const std::string& ATitle,
                        const std::string& AClass)
{
  const xcb_window_t window = xcb_generate_id(AConnection);
  const uint32_t values[] = {AScreen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(AConnection, XCB_COPY_FROM_PARENT, window, AScreen->root, 10, 10, 200, 100, 1,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, AScreen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  if (!ATitle.empty()) {
    SetText(AConnection, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, ATitle);
    SetText(AConnection, window, Atom(AConnection, "_NET_WM_NAME"), Atom(AConnection, "UTF8_STRING"), ATitle);
  }
  const std::string instanceAndClass = AClass + '\0' + AClass + '\0';
  SetText(AConnection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, instanceAndClass);
  const xcb_atom_t deleteWindow = Atom(AConnection, "WM_DELETE_WINDOW");
  xcb_change_property(AConnection, XCB_PROP_MODE_REPLACE, window, Atom(AConnection, "WM_PROTOCOLS"), XCB_ATOM_ATOM, 32,
                      1, &deleteWindow);
  return window;
}

} // namespace

int main(int argc, char* argv[])
{
  if (argc < 3) {
    std::fprintf(stderr, "usage: xstubborn TITLE CLASS [pid|pid=N] [hidden] [owned]\n");
    return 2;
  }
  bool pid = false, hidden = false, owned = false;
  uint32_t statedPid = uint32_t(getpid());
  for (int i = 3; i < argc; ++i) {
    pid = pid || std::strcmp(argv[i], "pid") == 0;
    if (std::strncmp(argv[i], "pid=", 4) == 0) {
      pid = true;
      statedPid = uint32_t(std::strtoul(argv[i] + 4, nullptr, 10));
    }
    hidden = hidden || std::strcmp(argv[i], "hidden") == 0;
    owned = owned || std::strcmp(argv[i], "owned") == 0;
  }
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(connection))
    return 1;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screenNumber; ++i)
    xcb_screen_next(&screens);
  const xcb_screen_t* screen = screens.data;

  const xcb_window_t window = MakeWindow(connection, screen, argv[1], argv[2]);
  if (pid) {
    const uint32_t id = statedPid;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, Atom(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL,
                        32, 1, &id);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    SetText(connection, window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, host);
  }
  if (!hidden)
    xcb_map_window(connection, window);
  if (owned) {
    const xcb_window_t dialog = MakeWindow(connection, screen, std::string(argv[1]) + " Options", argv[2]);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, dialog, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                        &window);
    xcb_map_window(connection, dialog);
  }
  xcb_flush(connection);
  std::printf("%u\n", window);
  std::fflush(stdout);
  // Every event, a close request among them, is read and left unanswered.
  while (xcb_generic_event_t* event = xcb_wait_for_event(connection))
    std::free(event);
  xcb_disconnect(connection);
  return 0;
}
