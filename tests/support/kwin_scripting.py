'''A stand-in for KWin's scripting interface (org.kde.KWin /Scripting) for python3-dbusmock.

It keeps a table of windows (the "windows" parameter: a list of {id, title, className, pid,
owner}) and runs a loaded script the way KWin would run the program's window script: it reads
the parameters on the script's first line, closes the window named there, and sends the windows
left to the D-Bus method the parameters name. ClosedWindows tells a test what was closed.
'''

import json

import dbus
from dbusmock import mockobject

BUS_NAME = 'org.kde.KWin'
MAIN_OBJ = '/Scripting'
MAIN_IFACE = 'org.kde.kwin.Scripting'
SCRIPT_IFACE = 'org.kde.kwin.Script'
SYSTEM_BUS = False
PREFIX = 'var corvale = '


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


def run(script_id):
    manager = mockobject.objects[MAIN_OBJ]
    path, _ = manager.scripts[script_id]
    with open(path, encoding='utf-8') as script:
        first = script.readline().strip()
    if not first.startswith(PREFIX):
        raise dbus.exceptions.DBusException('not a window script', name='org.kde.kwin.Error')
    parameters = json.loads(first[len(PREFIX):].rstrip(';'))
    if parameters['close']:
        manager.closed.append(parameters['close'])
        manager.windows = [w for w in manager.windows if w['id'] != parameters['close']]
    answers = dbus.SessionBus().get_object(parameters['service'], parameters['path'])
    answers.Answer(parameters['token'], json.dumps(manager.windows), dbus_interface=parameters['interface'],
                   ignore_reply=True)
