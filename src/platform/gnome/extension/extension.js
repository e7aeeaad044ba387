// The entry GNOME Shell 43 and 44 load: an extension there is a script of
// the imports.* kind. The service itself is written as ES modules, shared
// with the entry of GNOME Shell 45 and later (extension-esm.js); this entry
// loads it and hands it the shell's modules, which are scripts here.
/* exported init */
const ExtensionUtils = imports.misc.extensionUtils;
const Main = imports.ui.main;
const PanelMenu = imports.ui.panelMenu;
const PopupMenu = imports.ui.popupMenu;

class KelvoExtension {
    enable() {
        const me = ExtensionUtils.getCurrentExtension();
        this._enabled = true;
        // The module loads once; a disable() before it has loaded wins.
        import(me.dir.get_child('service.js').get_uri()).then(({KelvoService}) => {
            if (this._enabled && !this._service) {
                this._service = new KelvoService({Main, PanelMenu, PopupMenu},
                    me.dir, ExtensionUtils.getSettings());
            }
        }).catch(e => logError(e, 'Kelvo'));
    }

    disable() {
        this._enabled = false;
        this._service?.destroy();
        this._service = null;
    }
}

function init() {
    return new KelvoExtension();
}
