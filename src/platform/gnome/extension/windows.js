// The windows Kelvo works with: the one in front (the source of a copy and
// the target of a paste), activation, and the placement of Kelvo's panel.
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';

const PLACE_WAIT_MS = 2000;

// A program without a window of its own (a command-line copy) takes the
// focus for a moment with a surface that names no application; the window
// in front is then still the one before it.
function isHelper(window) {
    return !window.get_wm_class();
}

export class WindowWatch {
    constructor(Main, onFocus) {
        this._main = Main;
        this._onFocus = onFocus;
        this._tracker = Shell.WindowTracker.get_default();
        this._focus = null;
        this._pending = null;
        this._ids = [
            global.display.connect('notify::focus-window', () => this._focusChanged()),
            global.display.connect('window-created', (display, window) => this._created(window)),
        ];
        this._focusChanged();
    }

    destroy() {
        this._ids.forEach(id => global.display.disconnect(id));
        this._stopWaiting();
    }

    _focusChanged() {
        const window = global.display.focus_window;
        if ((window && isHelper(window)) || window === this._focus)
            return;
        this._focus = window;
        this._onFocus(this.focus());
    }

    focus() {
        const window = this._focus;
        if (!window)
            return {};
        const app = this._tracker.get_window_app(window);
        const frame = window.get_frame_rect();
        const text = value => new GLib.Variant('s', value ?? '');
        return {
            window: new GLib.Variant('t', window.get_id()),
            pid: new GLib.Variant('u', Math.max(window.get_pid(), 0)),
            app: text(app?.get_id()),
            name: text(app?.get_name()),
            title: text(window.get_title()),
            wmClass: text(window.get_wm_class()),
            x: new GLib.Variant('i', frame.x),
            y: new GLib.Variant('i', frame.y),
            width: new GLib.Variant('i', frame.width),
            height: new GLib.Variant('i', frame.height),
        };
    }

    // Window `id`, or with 0 the latest window of process `pid`.
    activate(id, pid) {
        const windows = global.display.list_all_windows();
        const window = id
            ? windows.find(w => w.get_id() === id)
            : windows.filter(w => pid && w.get_pid() === pid)
                .sort((a, b) => b.get_user_time() - a.get_user_time())[0];
        if (window)
            this._main.activateWindow(window);
    }

    // Kelvo's window is an X11 one of its process; it may not be known yet.
    place(pid, x11Window, frame) {
        this._stopWaiting();
        const matches = w => pid !== 0 && w.get_pid() === pid &&
            w.get_client_type() === Meta.WindowClientType.X11 && w.get_xwindow() === x11Window;
        const window = global.display.list_all_windows().find(matches);
        if (window) {
            this._place(window, frame);
            return;
        }
        const timeout = GLib.timeout_add(GLib.PRIORITY_DEFAULT, PLACE_WAIT_MS, () => {
            this._pending = null;
            return GLib.SOURCE_REMOVE;
        });
        this._pending = {matches, frame, timeout};
    }

    _created(window) {
        if (this._pending?.matches(window)) {
            const {frame} = this._pending;
            this._stopWaiting();
            this._place(window, frame);
        }
    }

    _stopWaiting() {
        if (this._pending)
            GLib.source_remove(this._pending.timeout);
        this._pending = null;
    }

    _place(window, {x, y, width, height}) {
        window.move_resize_frame(false, x, y, width, height);
        window.make_above();
        window.stick();
        this._main.activateWindow(window);
    }
}
