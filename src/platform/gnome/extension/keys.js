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
        this._changes = Promise.resolve();
    }

    destroy() {
        if (this._bound)
            this._wm.removeKeybinding(SHORTCUT_KEY);
        this._keyboard = null;
        this._idles.forEach(id => GLib.source_remove(id));
    }

    // Binds `accelerator` ("<Super><Shift>v") in place of the last one; ""
    // unbinds. Resolves, once the change is in effect, with false when the
    // shell did not take the binding. Changes are made one after another.
    setShortcut(accelerator) {
        this._changes = this._changes.then(() => this._change(accelerator));
        return this._changes;
    }

    async _change(accelerator) {
        if (this._bound) {
            // Emptied first and removed once Mutter has rebuilt its table
            // without it: a removed binding still in the table would be
            // handled with its freed handler.
            this._settings.set_strv(SHORTCUT_KEY, []);
            await this._prefsNotified();
            this._wm.removeKeybinding(SHORTCUT_KEY);
            this._bound = false;
        }
        if (!accelerator)
            return true;
        this._settings.set_strv(SHORTCUT_KEY, [accelerator]);
        const action = this._wm.addKeybinding(SHORTCUT_KEY, this._settings,
            Meta.KeyBindingFlags.IGNORE_AUTOREPEAT,
            Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW | Shell.ActionMode.POPUP,
            () => this._onPressed());
        this._bound = action !== Meta.KeyBindingAction.NONE;
        await this._prefsNotified();
        return this._bound;
    }

    // Mutter takes changed bindings on in an idle callback at
    // META_PRIORITY_PREFS_NOTIFY; this resolves after it.
    _prefsNotified() {
        return new Promise(resolve => {
            const id = GLib.idle_add(PREFS_NOTIFIED_PRIORITY, () => {
                this._idles.delete(id);
                resolve();
                return GLib.SOURCE_REMOVE;
            });
            this._idles.add(id);
        });
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
