'''A stand-in for KWin's scripting interface (org.kde.KWin /Scripting) for python3-dbusmock.

It keeps a table of windows (the "windows" parameter: a list of {id, title, className, pid,
owner, dialog}) and runs a loaded script with node, in front of a `workspace` shaped like
KWin 5's (clientList(), class names as ArrayBuffers as a QByteArray reaches a script, closeWindow())
and a callDBus that is carried out here. A window the script closes leaves the table;
ClosedWindows tells a test which were closed.
'''

import json
import subprocess

import dbus
from dbusmock import mockobject

BUS_NAME = 'org.kde.KWin'
MAIN_OBJ = '/Scripting'
MAIN_IFACE = 'org.kde.kwin.Scripting'
SCRIPT_IFACE = 'org.kde.kwin.Script'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.windows = list(parameters.get('windows', []))
    mock.scripts = {}
    mock.next_id = 0
    mock.closed = []
    # Method code runs with the mock module's globals: the script objects' run reaches this.
    mockobject.kwin_run = run


@dbus.service.method(MAIN_IFACE, in_signature='ss', out_signature='i')
def loadScript(self, path, plugin):
    script_id = self.next_id
    self.next_id += 1
    self.scripts[script_id] = (str(path), str(plugin))
    self.AddObject(f'/Scripting/Script{script_id}', SCRIPT_IFACE, {},
                   [('run', '', '', f'kwin_run({script_id})')])
    return script_id


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='b')
def unloadScript(self, plugin):
    for script_id, (_, name) in list(self.scripts.items()):
        if name == plugin:
            del self.scripts[script_id]
            self.RemoveObject(f'/Scripting/Script{script_id}')
            return True
    return False


@dbus.service.method(MAIN_IFACE, in_signature='', out_signature='as')
def ClosedWindows(self):
    return self.closed


# The workspace a script sees, built from the table; callDBus prints what it was asked.
PRELUDE = """
var table = %s;
var closed = [];
var objects = table.map(function(entry) {
  return {internalId: entry.id, caption: entry.title, pid: entry.pid,
          resourceClass: new TextEncoder().encode(entry.className).buffer,
          normalWindow: !entry.dialog, dialog: !!entry.dialog, transientFor: null,
          closeWindow: function() { closed.push(entry.id); }};
});
objects.forEach(function(object, i) {
  objects.forEach(function(owner) { if (owner.internalId === table[i].owner) object.transientFor = owner; });
});
var workspace = {clientList: function() { return objects; }};
function callDBus() {
  console.log(JSON.stringify({call: Array.prototype.slice.call(arguments), closed: closed}));
}
"""


def run(script_id):
    manager = mockobject.objects[MAIN_OBJ]
    path, _ = manager.scripts[script_id]
    with open(path, encoding='utf-8') as script:
        source = PRELUDE % json.dumps(manager.windows) + script.read()
    result = subprocess.run(['node', '-e', source], capture_output=True, text=True, check=False)
    if result.returncode != 0 or not result.stdout.strip():
        raise dbus.exceptions.DBusException('script failed: ' + result.stderr, name='org.kde.kwin.Error')
    outcome = json.loads(result.stdout.strip().splitlines()[-1])
    for window in outcome['closed']:
        manager.closed.append(window)
        manager.windows = [w for w in manager.windows if w['id'] != window]
    service, object_path, interface, method, *arguments = outcome['call']
    answers = dbus.SessionBus().get_object(service, object_path)
    answers.get_dbus_method(method, interface)(*arguments, ignore_reply=True)
