// Kelvo's shortcut, bound through the extension's settings key as the
// shell binds its own, and the keys Kelvo types, from a virtual keyboard.
import Clutter from 'gi://Clutter';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';

const SHORTCUT_KEY = 'toggle-panel';

export class Keys {
    constructor(Main, settings, onPressed) {
        this._wm = Main.wm;
        this._settings = settings;
        this._onPressed = onPressed;
        this._bound = false;
        this._keyboard = null;
    }

    destroy() {
        this._unbind();
        this._keyboard = null;
    }

    // Binds `accelerator` ("<Super><Shift>v") in place of the last one; ""
    // unbinds. False when the shell did not take it.
    setShortcut(accelerator) {
        this._unbind();
        if (!accelerator)
            return true;
        const current = this._settings.get_strv(SHORTCUT_KEY);
        if (current.length !== 1 || current[0] !== accelerator)
            this._settings.set_strv(SHORTCUT_KEY, [accelerator]);
        const action = this._wm.addKeybinding(SHORTCUT_KEY, this._settings,
            Meta.KeyBindingFlags.IGNORE_AUTOREPEAT,
            Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW | Shell.ActionMode.POPUP,
            () => this._onPressed());
        this._bound = action !== Meta.KeyBindingAction.NONE;
        return this._bound;
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
