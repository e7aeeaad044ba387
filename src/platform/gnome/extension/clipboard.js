// The clipboard as Mutter holds it: every change of another program's
// making is numbered and reported; the bytes of a change are copied, on
// request, into descriptors the reader handed over.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';

export class StaleReadError extends Error {}

// A pipe's write end as a stream that closes it. Non-blocking, so that a
// reader that stops reading never holds up the compositor: the transfer
// waits for room instead.
export function pipeStream(fd) {
    GLib.unix_set_fd_nonblocking(fd, true);
    return new Gio.UnixOutputStream({fd, close_fd: true});
}

export class ClipboardWatch {
    constructor(onChange) {
        this._onChange = onChange;
        this._serial = 0;
        this._cancellable = new Gio.Cancellable();
        this._selection = global.display.get_selection();
        this._changedId = this._selection.connect('owner-changed', (selection, type, owner) => {
            // The primary selection is never looked at, and an owner that
            // went away left nothing to read.
            if (type !== Meta.SelectionType.SELECTION_CLIPBOARD || !owner)
                return;
            this._serial++;
            this._onChange(this._serial, this._selection.get_mimetypes(type));
        });
    }

    destroy() {
        this._selection.disconnect(this._changedId);
        this._cancellable.cancel();
    }

    // Copies each MIME type of change `serial` into its stream; resolves
    // with whether each copy was whole. Only the latest change can be read.
    read(serial, types, streams) {
        if (serial !== this._serial)
            throw new StaleReadError(`change ${serial} was replaced by change ${this._serial}`);
        return Promise.all(types.map((type, i) => new Promise(resolve => {
            this._selection.transfer_async(Meta.SelectionType.SELECTION_CLIPBOARD, type, -1,
                streams[i], this._cancellable, (selection, result) => {
                    try {
                        resolve(selection.transfer_finish(result));
                    } catch (e) {
                        resolve(false);
                    }
                });
        })));
    }
}
