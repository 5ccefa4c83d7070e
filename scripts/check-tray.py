#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Shows what a StatusNotifierItem panel receives from corvale: runs it on a private X server and a
# private session bus on which this script stands in for the panel's watcher, then prints the
# item's title, tool tip, icon sizes and menu. Not a test of the default run; scripts/check-tray.sh
# builds and runs it.
#   check-tray.py PROGRAM
import os
import subprocess
import sys
import tempfile
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"


class Watcher(dbus.service.Object):
    """The part of a panel's watcher that Qt asks for before it offers an item, and that items call."""

    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        self.items.append((sender, service))

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    # Qt reads the properties through an interface it builds from this description.
    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):
        return """<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  </interface>
</node>"""

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
            "RegisteredStatusNotifierItems": dbus.Array([s for _, s in self.items], signature="s"),
        }


def labels(layout, depth=0):
    _, properties, children = layout
    lines = []
    label = str(properties.get("label", ""))
    if label or properties.get("type") == "separator":
        lines.append("  " * depth + (label.replace("_", "") if label else "----"))
    for child in children:
        lines += labels(child, depth + (1 if label else 0))
    return lines


def main():
    program = sys.argv[1]
    home = tempfile.mkdtemp(prefix="corvale-tray-")
    bus_process = subprocess.Popen(
        ["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE, text=True
    )
    address = bus_process.stdout.readline().strip()
    display = ":%d" % (90 + os.getpid() % 100)
    x_server = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
    corvale = None
    try:
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
        dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
        bus = dbus.SessionBus()
        name = dbus.service.BusName(WATCHER, bus)  # noqa: F841 (kept while the loop runs)
        watcher = Watcher(bus)

        environment = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=home,
                           XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
                           XDG_RUNTIME_DIR=home, XDG_CURRENT_DESKTOP="")
        time.sleep(1.5)  # until the X server accepts clients
        corvale = subprocess.Popen([program, "/HIDE"], env=environment)

        loop = GLib.MainLoop()
        deadline = [60 * 4]

        def poll():
            deadline[0] -= 1
            if watcher.items or deadline[0] <= 0:
                loop.quit()
                return False
            return True

        GLib.timeout_add(250, poll)
        loop.run()
        if not watcher.items:
            print("corvale registered no StatusNotifierItem within a minute")
            return 1
        sender, service = watcher.items[0]
        print("RegisterStatusNotifierItem(%s) from %s" % (service, sender))
        owner = sender if service.startswith("/") else service
        path = service if service.startswith("/") else "/StatusNotifierItem"
        item = dbus.Interface(bus.get_object(owner, path), dbus.PROPERTIES_IFACE)
        props = item.GetAll("org.kde.StatusNotifierItem")
        print("Id:       %s" % props.get("Id"))
        print("Title:    %s" % props.get("Title"))
        print("Status:   %s" % props.get("Status"))
        tooltip = props.get("ToolTip")
        print("ToolTip:  %s / %s" % (tooltip[2], tooltip[3]) if tooltip else "ToolTip:  (none)")
        pixmaps = props.get("IconPixmap", [])
        print("Icon:     %s" % (", ".join("%dx%d" % (w, h) for w, h, _ in pixmaps) or props.get("IconName")))
        menu_path = props.get("Menu")
        print("Menu:     %s" % menu_path)
        menu = dbus.Interface(bus.get_object(owner, menu_path), "com.canonical.dbusmenu")
        _, layout = menu.GetLayout(0, -1, [])
        for line in labels(layout):
            print("  " + line)
        return 0
    finally:
        if corvale:
            corvale.terminate()
            try:
                corvale.wait(20)
            except subprocess.TimeoutExpired:
                corvale.kill()
        x_server.terminate()
        bus_process.terminate()


if __name__ == "__main__":
    sys.exit(main())
