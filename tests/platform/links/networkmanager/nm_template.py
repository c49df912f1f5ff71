'''NetworkManager as the link service's tests need it

The stock python3-dbusmock template, plus what it lacks: activation that stays in the activating
state until the test moves it on, with StateChanged signals and their reasons; modem devices whose
IP interface differs from their control interface; device statistics; the error names the real
service answers with.
'''

import dbus

import dbusmock
from dbusmock import MOCK_IFACE
from dbusmock.templates.networkmanager import *  # noqa: F401,F403 (the stock methods and names)
from dbusmock.templates import networkmanager as stock

STATISTICS_IFACE = 'org.freedesktop.NetworkManager.Device.Statistics'


def _error(name, text):
    return dbus.exceptions.DBusException(text, name=MANAGER_IFACE + '.' + name)


def _add_statistics(device_path):
    dbusmock.get_object(device_path).AddProperties(STATISTICS_IFACE, {
        'RefreshRateMs': dbus.UInt32(0),
        'RxBytes': dbus.UInt64(0),
        'TxBytes': dbus.UInt64(0),
    })


def _device_for(profile_path):
    '''The device named by the profile's connection.interface-name, else the first one.'''
    wanted = dbusmock.get_object(profile_path).settings['connection'].get('interface-name')
    devices = dbusmock.get_object(MANAGER_OBJ).Get(MANAGER_IFACE, 'Devices')
    for path in devices:
        if dbusmock.get_object(path).Get(DEVICE_IFACE, 'Interface') == wanted:
            return path
    return devices[0] if devices else None


def _active_of(profile_path):
    for path in dbusmock.get_object(MANAGER_OBJ).Get(MANAGER_IFACE, 'ActiveConnections'):
        if dbusmock.get_object(path).Get(ACTIVE_CONNECTION_IFACE, 'Connection') == profile_path:
            return path
    raise _error('ConnectionNotActive', f'{profile_path} is not active')


def activate_connection(self, profile, device, _specific):
    if profile not in dbusmock.get_object(SETTINGS_OBJ).ListConnections():
        raise _error('UnknownConnection', f'no profile {profile}')
    if str(device) == '/':
        device = _device_for(profile)
    # A profile's connection.test-outcome scripts a refusal, or a failure signalled before the answer.
    outcome = dbusmock.get_object(profile).settings['connection'].get('test-outcome')
    if outcome == 'refused':
        raise _error('PermissionDenied', 'not authorised')
    count = 1  # NetworkManager numbers its active connections from 1
    taken = self.Get(MANAGER_IFACE, 'ActiveConnections')
    while f'{MANAGER_OBJ}/ActiveConnection/{count}' in taken:
        count += 1
    active = AddActiveConnection(
        self, [device] if device else [], profile, '/', str(count),
        dbus.UInt32(stock.NMActiveConnectionState.NM_ACTIVE_CONNECTION_STATE_ACTIVATING))
    if outcome == 'login-fails':
        _set_state(self, active, 4, 10)
    return dbus.ObjectPath(active)


def deactivate_connection(self, active_path):
    if active_path not in self.Get(MANAGER_IFACE, 'ActiveConnections'):
        raise _error('ConnectionNotActive', f'{active_path} is not active')
    _set_state(self, active_path, 4, 2)  # deactivated by the user


def _set_state(manager, active_path, state, reason):
    active = dbusmock.get_object(active_path)
    active.UpdateProperties(ACTIVE_CONNECTION_IFACE, {'State': dbus.UInt32(state)})
    active.EmitSignal(ACTIVE_CONNECTION_IFACE, 'StateChanged', 'uu', [state, reason])
    for device in active.Get(ACTIVE_CONNECTION_IFACE, 'Devices'):
        device_obj = dbusmock.get_object(device)
        ip_interface = getattr(device_obj, 'ip_interface', None) or \
            device_obj.Get(DEVICE_IFACE, 'Interface')
        device_obj.UpdateProperties(DEVICE_IFACE, {'IpInterface': ip_interface if state == 2 else ''})
    if state == 4:  # NetworkManager drops a deactivated connection
        for device in active.Get(ACTIVE_CONNECTION_IFACE, 'Devices'):
            manager.SetDeviceDisconnected(device)
        taken = manager.Get(MANAGER_IFACE, 'ActiveConnections')
        taken.remove(dbus.ObjectPath(active_path))
        manager.SetProperty(MANAGER_OBJ, MANAGER_IFACE, 'ActiveConnections', taken)
        manager.object_manager_emit_removed(active_path)
        manager.RemoveObject(active_path)


@dbus.service.method(MOCK_IFACE, in_signature='ouu', out_signature='')
def SetProfileState(_self, profile_path, state, reason):
    '''Moves the active connection of a profile to a state, with the reason NetworkManager gives.'''
    _set_state(dbusmock.get_object(MANAGER_OBJ), _active_of(profile_path), state, reason)


@dbus.service.method(MOCK_IFACE, in_signature='ssi', out_signature='s')
def AddEthernetDevice(self, device_name, iface_name, state):
    path = stock.AddEthernetDevice(self, device_name, iface_name, state)
    _add_statistics(path)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='s')
def AddModemDevice(self, device_name, control_iface, ip_iface):
    '''A mobile-broadband modem: controlled through one interface, carrying traffic on another.'''
    path = stock.AddEthernetDevice(self, device_name, control_iface, stock.DeviceState.DISCONNECTED)
    device = dbusmock.get_object(path)
    device.UpdateProperties(DEVICE_IFACE, {'DeviceType': dbus.UInt32(8)})
    device.ip_interface = ip_iface
    _add_statistics(path)
    return path


def load(mock, parameters):
    stock.load(mock, parameters)
    manager = dbusmock.get_object(MANAGER_OBJ)
    manager.activate_connection = activate_connection
    manager.deactivate_connection = deactivate_connection
