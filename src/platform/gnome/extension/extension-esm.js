// The entry of GNOME Shell 45 and later, installed there as extension.js:
// the same service as GNOME 43's entry, handed the shell's ES modules.
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PanelMenu from 'resource:///org/gnome/shell/ui/panelMenu.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';

import {KelvoService} from './service.js';

export default class KelvoExtension extends Extension {
    enable() {
        this._service = new KelvoService({Main, PanelMenu, PopupMenu}, this.dir, this.getSettings());
    }

    disable() {
        this._service.destroy();
        this._service = null;
    }
}
