// Kelvo's shortcut, bound through the extension's settings key as the
// shell binds its own, and the keys Kelvo types, from a virtual keyboard.
import Clutter from 'gi://Clutter';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';

const SHORTCUT_KEY = 'toggle-panel';
const PREFS_NOTIFIED_PRIORITY = GLib.PRIORITY_DEFAULT_IDLE + 11;

export class Keys {
    constructor(Main, settings, onPressed) {
        this._wm = Main.wm;
        this._settings = settings;
        this._onPressed = onPressed;
        this._bound = false;
        this._keyboard = null;
        this._idles = new Set();
    }

    destroy() {
        this._unbind();
        this._keyboard = null;
        this._idles.forEach(id => GLib.source_remove(id));
    }

    // Binds `accelerator` ("<Super><Shift>v") in place of the last one; ""
    // unbinds. Resolves once the binding is in effect, with false when the
    // shell did not take it: Mutter takes a new binding on in an idle
    // callback (META_PRIORITY_PREFS_NOTIFY), which runs before this one.
    async setShortcut(accelerator) {
        this._unbind();
        if (accelerator) {
            const current = this._settings.get_strv(SHORTCUT_KEY);
            if (current.length !== 1 || current[0] !== accelerator)
                this._settings.set_strv(SHORTCUT_KEY, [accelerator]);
            const action = this._wm.addKeybinding(SHORTCUT_KEY, this._settings,
                Meta.KeyBindingFlags.IGNORE_AUTOREPEAT,
                Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW | Shell.ActionMode.POPUP,
                () => this._onPressed());
            this._bound = action !== Meta.KeyBindingAction.NONE;
        }
        await new Promise(resolve => {
            const id = GLib.idle_add(PREFS_NOTIFIED_PRIORITY, () => {
                this._idles.delete(id);
                resolve();
                return GLib.SOURCE_REMOVE;
            });
            this._idles.add(id);
        });
        return this._bound || !accelerator;
    }

    _unbind() {
        if (this._bound)
            this._wm.removeKeybinding(SHORTCUT_KEY);
        this._bound = false;
    }

    // Presses and releases keys by position (evdev codes), in order.
    send(keys) {
        if (!this._keyboard) {
            const seat = Clutter.get_default_backend().get_default_seat();
            this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        }
        for (const [code, pressed] of keys) {
            this._keyboard.notify_key(GLib.get_monotonic_time(), code,
                pressed ? Clutter.KeyState.PRESSED : Clutter.KeyState.RELEASED);
        }
    }
}
