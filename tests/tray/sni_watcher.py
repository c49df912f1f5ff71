'''A StatusNotifierWatcher for the tray test (python3 -m dbusmock --session --template): it says a
host is registered, so the toolkit shows its icon as an item, and lists the items registered, so
that the test can play the host.
'''

import dbus

BUS_NAME = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {
        'IsStatusNotifierHostRegistered': True,
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
        'ProtocolVersion': dbus.Int32(0),
    })
    items = "self.Get('%s', 'RegisteredStatusNotifierItems')" % MAIN_IFACE
    mock.AddMethods(MAIN_IFACE, [
        ('RegisterStatusNotifierItem', 's', '',
         "self.Set('%s', 'RegisteredStatusNotifierItems', %s + [args[0]])" % (MAIN_IFACE, items)),
        ('RegisterStatusNotifierHost', 's', '', ''),
    ])
