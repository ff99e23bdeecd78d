// Tells Vellora which application is in front, so that the master volume can follow it: GNOME
// Shell gives no other program that knowledge on Wayland. For GNOME Shell 45 and later; the
// extension "vellora-legacy" is the same for 40 to 44.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Shell from 'gi://Shell';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const SERVICE = 'com.vellora.Vellora';
const PATH = '/com/vellora/Vellora/Activation';
const IFACE = 'com.vellora.Vellora.Activation';

export default class VelloraExtension extends Extension {
    enable() {
        this._tracker = Shell.WindowTracker.get_default();
        this._vellora = false;
        this._focus = global.display.connect('notify::focus-window', () => this._report());
        // Vellora starts and stops on its own: it hears of the window in front when it comes.
        this._watch = Gio.bus_watch_name(Gio.BusType.SESSION, SERVICE,
            Gio.BusNameWatcherFlags.NONE,
            () => {
                this._vellora = true;
                this._report();
            },
            () => {
                this._vellora = false;
            });
    }

    disable() {
        global.display.disconnect(this._focus);
        Gio.bus_unwatch_name(this._watch);
        this._tracker = null;
    }

    _report() {
        if (!this._vellora)
            return;
        const window = global.display.focus_window;
        const app = window ? this._tracker.get_window_app(window) : null;
        const args = new GLib.Variant('(sss)', [
            app ? app.get_id() || '' : '',
            window ? window.get_wm_class() || '' : '',
            String(window ? window.get_pid() : 0),
        ]);
        // A callback of its own, not null: the shell's promise wrapper of this call takes a
        // call without one for a call that wants a promise, and would add a callback too many.
        Gio.DBus.session.call(SERVICE, PATH, IFACE, 'WindowActivated', args, null,
            Gio.DBusCallFlags.NO_AUTO_START, 1000, null, (connection, result) => {
                try {
                    connection.call_finish(result);
                } catch (e) {
                    // Vellora went away meanwhile: it hears of the window in front when back.
                }
            });
    }
}
