// Run by KWin on Vellora's behalf: tells Vellora which window became the active one, so that
// the master volume can follow the application in front. Loaded and unloaded by Vellora itself.
(function () {
    "use strict";

    var service = "com.vellora.Vellora";
    var path = "/com/vellora/Vellora/Activation";
    var iface = "com.vellora.Vellora.Activation";

    // Plasma 5 hands some names over as bytes, Plasma 6 as text.
    function text(value) {
        if (value === undefined || value === null) {
            return "";
        }
        // (An engine without typed arrays must not fail on the question.)
        if (typeof ArrayBuffer !== "undefined" && value instanceof ArrayBuffer) {
            return String.fromCharCode.apply(null, new Uint8Array(value));
        }
        return String(value);
    }

    // Every argument is text: numbers would reach the bus as floating point.
    function report(window) {
        if (!window) {
            callDBus(service, path, iface, "WindowActivated", "", "", "0");
            return;
        }
        callDBus(service, path, iface, "WindowActivated", text(window.desktopFileName),
                 text(window.resourceClass), String(window.pid || 0));
    }

    if (workspace.windowActivated !== undefined) { // Plasma 6
        workspace.windowActivated.connect(report);
        report(workspace.activeWindow);
    } else { // Plasma 5
        workspace.clientActivated.connect(report);
        report(workspace.activeClient);
    }
}());
