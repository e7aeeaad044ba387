// Kelvo's tray menu in the top bar, for a shell that shows no tray: while
// a StatusNotifier host is on the bus, Kelvo's own tray item is shown there
// instead. The labels are Kelvo's, in its language; the items call Kelvo.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import St from 'gi://St';

const ROLE = 'kelvo';
const PAUSED_OPACITY = 110;

export class StatusMenu {
    constructor(shell, iconFile, callKelvo) {
        this._shell = shell;
        this._icon = new Gio.FileIcon({file: iconFile});
        this._callKelvo = callKelvo;
        this._state = null;
        this._button = null;
        this._hostPresent = false;
        this._watch = Gio.bus_watch_name(Gio.BusType.SESSION, 'org.kde.StatusNotifierWatcher',
            Gio.BusNameWatcherFlags.NONE, () => this._setHost(true), () => this._setHost(false));
    }

    destroy() {
        Gio.bus_unwatch_name(this._watch);
        this.hide();
    }

    update(labels, paused, visible) {
        this._state = {labels, paused, visible};
        this._sync();
    }

    hide() {
        this._state = null;
        this._sync();
    }

    _setHost(present) {
        this._hostPresent = present;
        this._sync();
    }

    _sync() {
        if (!this._state?.visible || this._hostPresent) {
            this._button?.destroy();
            this._button = null;
            return;
        }
        if (!this._button)
            this._build();
        const {labels, paused} = this._state;
        for (const [key, item] of Object.entries(this._items))
            item.label.text = labels[key] ?? '';
        this._items.pause.setToggleState(paused);
        this._symbol.opacity = paused ? PAUSED_OPACITY : 255;
    }

    _build() {
        const {Main, PanelMenu, PopupMenu} = this._shell;
        this._button = new PanelMenu.Button(0.0, 'Kelvo', false);
        this._symbol = new St.Icon({gicon: this._icon, style_class: 'system-status-icon'});
        this._button.add_child(this._symbol);
        const menu = this._button.menu;
        const item = (method, args = null) => {
            const entry = new PopupMenu.PopupMenuItem('');
            entry.connect('activate', () => this._callKelvo(method, args));
            menu.addMenuItem(entry);
            return entry;
        };
        const separator = () => menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
        this._items = {toggle: item('Toggle')};
        separator();
        this._items.clear = item('Clear', new GLib.Variant('(b)', [false]));
        this._items.pause = new PopupMenu.PopupSwitchMenuItem('', false);
        this._items.pause.connect('toggled', (entry, on) => this._callKelvo(on ? 'Pause' : 'Resume', null));
        menu.addMenuItem(this._items.pause);
        separator();
        this._items.settings = item('OpenSettings');
        separator();
        this._items.quit = item('Quit');
        Main.panel.addToStatusArea(ROLE, this._button);
    }
}
