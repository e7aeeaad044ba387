// For Kelvo's tests only, never shipped: what a test needs of the shell
// (key presses, a click, the windows, a screenshot, the shell's display
// names) on the session bus as io.github.kelvo.ShellTest. What it reports
// is JSON, for C++ tests and shell scripts alike.
/* exported init */
const {Clutter, Gio, GLib, Shell} = imports.gi;
const Main = imports.ui.main;

const IFACE = `<node><interface name="io.github.kelvo.ShellTest">
  <method name="Environment"><arg name="json" type="s" direction="out"/></method>
  <method name="Ready"><arg type="b" direction="out"/></method>
  <method name="Keys"><arg name="keys" type="as" direction="in"/></method>
  <method name="Click"><arg name="x" type="d" direction="in"/><arg name="y" type="d" direction="in"/><arg name="button" type="u" direction="in"/></method>
  <method name="Windows"><arg name="json" type="s" direction="out"/></method>
  <method name="Activate"><arg name="wmClass" type="s" direction="in"/><arg type="b" direction="out"/></method>
  <method name="Screenshot"><arg name="path" type="s" direction="in"/><arg type="b" direction="out"/></method>
</interface></node>`;

class Helper {
    enable() {
        const seat = Clutter.get_default_backend().get_default_seat();
        this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        this._pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        this._dbus = Gio.DBusExportedObject.wrapJSObject(IFACE, this);
        this._dbus.export(Gio.DBus.session, '/io/github/kelvo/ShellTest');
        this._name = Gio.bus_own_name_on_connection(Gio.DBus.session, 'io.github.kelvo.ShellTest',
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._name);
        this._dbus.unexport();
        this._keyboard = this._pointer = null;
    }

    Environment() {
        const env = {};
        for (const name of ['DISPLAY', 'WAYLAND_DISPLAY', 'XAUTHORITY'])
            env[name] = GLib.getenv(name) ?? '';
        return JSON.stringify(env);
    }

    // Leaves the overview the shell starts in (new windows get no focus
    // there); true once started up, out of it, with nothing modal.
    Ready() {
        Main.overview.hide();
        return !Main.layoutManager._startingUp && !Main.overview.visible && Main.modalCount === 0;
    }

    // A combination of key symbol names (["Super_L", "Shift_L", "v"]):
    // pressed in order, released in the reverse order.
    Keys(keys) {
        const send = (name, state) =>
            this._keyboard.notify_keyval(GLib.get_monotonic_time(), Clutter[`KEY_${name}`], state);
        keys.forEach(name => send(name, Clutter.KeyState.PRESSED));
        keys.slice().reverse().forEach(name => send(name, Clutter.KeyState.RELEASED));
    }

    // A click of a button (1 the left, 3 the right) at a point of the stage.
    Click(x, y, button) {
        const time = GLib.get_monotonic_time();
        this._pointer.notify_absolute_motion(time, x, y);
        this._pointer.notify_button(time, button, Clutter.ButtonState.PRESSED);
        this._pointer.notify_button(time, button, Clutter.ButtonState.RELEASED);
    }

    Windows() {
        const focus = global.display.focus_window;
        const tracker = Shell.WindowTracker.get_default();
        return JSON.stringify(global.display.list_all_windows().map(w => {
            const r = w.get_frame_rect();
            return {
                title: w.get_title() ?? '', wmClass: w.get_wm_class() ?? '',
                app: tracker.get_window_app(w)?.get_id() ?? '', pid: w.get_pid(),
                x: r.x, y: r.y, width: r.width, height: r.height, focused: w === focus,
                above: w.is_above(), sticky: w.is_on_all_workspaces(), type: w.get_window_type(),
            };
        }));
    }

    Activate(wmClass) {
        const window = global.display.list_all_windows().find(w => w.get_wm_class() === wmClass);
        if (window)
            Main.activateWindow(window);
        return !!window;
    }

    ScreenshotAsync([path], invocation) {
        const stream = Gio.File.new_for_path(path).replace(null, false, Gio.FileCreateFlags.NONE, null);
        new Shell.Screenshot().screenshot(false, stream, (screenshot, result) => {
            let done = false;
            try {
                done = screenshot.screenshot_finish(result)[0];
            } catch (e) {
                logError(e, 'screenshot');
            }
            stream.close(null);
            invocation.return_value(new GLib.Variant('(b)', [done]));
        });
    }
}

function init() {
    return new Helper();
}
