// Kelvo's side of the compositor on the session bus: the object described by
// io.github.kelvo.Shell1.xml, answering the owner of Kelvo's bus name alone.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';

import {ClipboardWatch, StaleReadError, pipeStream} from './clipboard.js';
import {Keys} from './keys.js';
import {StatusMenu} from './statusMenu.js';
import {WindowWatch} from './windows.js';

const INTERFACE = 'io.github.kelvo.Shell1';
const BUS_NAME = 'io.github.kelvo.Shell';
const OBJECT_PATH = '/io/github/kelvo/Shell';
const VERSION = 1;

const KELVO_NAME = 'io.github.kelvo.Kelvo';
const KELVO_PATH = '/io/github/kelvo/Kelvo';

const DBUS = ['org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus'];

function callBus(bus, [name, path, iface], method, args) {
    return new Promise((resolve, reject) => {
        bus.call(name, path, iface, method, args, null, Gio.DBusCallFlags.NONE, -1, null,
            (conn, result) => {
                try {
                    resolve(conn.call_finish(result).deepUnpack());
                } catch (e) {
                    reject(e);
                }
            });
    });
}

// Follows who owns Kelvo's bus name, and that process's id.
class KelvoPeer {
    constructor(bus, onChange) {
        this._bus = bus;
        this._onChange = onChange;
        this.owner = null;
        this.pid = 0;
        this._watch = Gio.bus_watch_name_on_connection(bus, KELVO_NAME, Gio.BusNameWatcherFlags.NONE,
            (conn, name, owner) => this._setOwner(owner), () => this._setOwner(null));
    }

    _setOwner(owner) {
        if (owner === this.owner)
            return;
        this.owner = owner;
        this.pid = 0;
        if (owner) {
            callBus(this._bus, DBUS, 'GetConnectionUnixProcessID', new GLib.Variant('(s)', [owner]))
                .then(([pid]) => {
                    if (this.owner === owner)
                        this.pid = pid;
                }).catch(() => {});
        }
        this._onChange(owner);
    }

    // A call may come before the bus has told us of a new owner: then the
    // bus is asked.
    async allows(invocation) {
        const sender = invocation.get_sender();
        if (sender === this.owner)
            return true;
        try {
            const [owner] = await callBus(this._bus, DBUS, 'GetNameOwner', new GLib.Variant('(s)', [KELVO_NAME]));
            if (owner === sender)
                this._setOwner(owner);
        } catch (e) {
            return false;
        }
        return sender === this.owner;
    }

    destroy() {
        Gio.bus_unwatch_name(this._watch);
    }
}

export class KelvoService {
    constructor(shell, dir, settings) {
        this._bus = Gio.DBus.session;
        this._clipboard = new ClipboardWatch((serial, types) =>
            this._emit('ClipboardChanged', new GLib.Variant('(tas)', [serial, types])));
        this._windows = new WindowWatch(shell.Main, focus =>
            this._emit('FocusChanged', new GLib.Variant('(a{sv})', [focus])));
        this._keys = new Keys(shell.Main, settings, () => this._emit('ShortcutPressed', null));
        this._menu = new StatusMenu(shell, dir.get_child('icons').get_child('kelvo-symbolic.svg'),
            (method, args) => this._callKelvo(method, args));

        const [, xml] = dir.get_child(`${INTERFACE}.xml`).load_contents(null);
        this._dbus = Gio.DBusExportedObject.wrapJSObject(new TextDecoder().decode(xml), this);
        this._dbus.export(this._bus, OBJECT_PATH);
        // The name last: once it is on the bus, the object answers.
        this._name = Gio.bus_own_name_on_connection(this._bus, BUS_NAME, Gio.BusNameOwnerFlags.NONE, null, null);
        this._peer = new KelvoPeer(this._bus, owner => this._kelvoChanged(owner));
    }

    destroy() {
        Gio.bus_unown_name(this._name);
        this._dbus.unexport();
        this._peer.destroy();
        this._menu.destroy();
        this._keys.destroy();
        this._windows.destroy();
        this._clipboard.destroy();
    }

    get Version() {
        return VERSION;
    }

    _kelvoChanged(owner) {
        if (owner) {
            this._emit('FocusChanged', new GLib.Variant('(a{sv})', [this._windows.focus()]));
        } else {
            // Without Kelvo its shortcut goes back to the programs.
            this._keys.setShortcut('');
            this._menu.hide();
        }
    }

    _emit(signal, parameters) {
        if (this._peer?.owner)
            this._bus.emit_signal(this._peer.owner, OBJECT_PATH, INTERFACE, signal, parameters);
    }

    _callKelvo(method, args) {
        if (this._peer.owner) {
            this._bus.call(this._peer.owner, KELVO_PATH, KELVO_NAME, method, args, null,
                Gio.DBusCallFlags.NO_AUTO_START, -1, null, null);
        }
    }

    // Runs `handler` for Kelvo's calls; everyone else is refused.
    async _answer(invocation, handler) {
        try {
            if (!await this._peer.allows(invocation)) {
                invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                    `${invocation.get_method_name()} answers Kelvo only`);
                return;
            }
            invocation.return_value(await handler());
        } catch (e) {
            const name = e instanceof StaleReadError
                ? 'io.github.kelvo.Shell.Error.Stale' : 'org.freedesktop.DBus.Error.Failed';
            invocation.return_dbus_error(name, e.message);
        }
    }

    ReadClipboardAsync([serial, types, handles], invocation) {
        // The descriptors are taken out of the message (which would keep
        // them open while it lives), each into a stream that closes it.
        const fds = invocation.get_message().get_unix_fd_list()?.steal_fds() ?? [];
        const streams = fds.map(fd => pipeStream(fd));
        this._answer(invocation, async () => {
            if (types.length !== handles.length || handles.some(h => !(h in fds)))
                throw new Error('one descriptor per MIME type');
            return new GLib.Variant('(ab)', [await this._clipboard.read(serial, types,
                handles.map(h => streams[h]))]);
        }).finally(() => streams.forEach(s => s.close(null)));
    }

    GetFocusAsync(params, invocation) {
        this._answer(invocation, () => new GLib.Variant('(a{sv})', [this._windows.focus()]));
    }

    ActivateAsync([window], invocation) {
        this._answer(invocation, () => {
            this._windows.activate(window, this._peer.pid);
            return null;
        });
    }

    PlacePanelAsync([x11Window, x, y, width, height], invocation) {
        this._answer(invocation, () => {
            this._windows.place(this._peer.pid, x11Window, {x, y, width, height});
            return null;
        });
    }

    SendKeysAsync([keys], invocation) {
        this._answer(invocation, () => {
            this._keys.send(keys);
            return null;
        });
    }

    SetShortcutAsync([accelerator], invocation) {
        this._answer(invocation, async () => new GLib.Variant('(b)', [await this._keys.setShortcut(accelerator)]));
    }

    SetStatusMenuAsync([labels, paused, visible], invocation) {
        this._answer(invocation, () => {
            this._menu.update(labels, paused, visible);
            return null;
        });
    }
}
