#include "X11MouseMonitor.h"

#include "Xcb.h"
#include "core/Diagnostics.h"
#include "platform/Backoff.h"
#include "platform/FocusLossMonitor.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <xcb/xinput.h>

namespace vellora {

struct X11MouseMonitor::Impl {
    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    uint8_t xiOpcode = 0;
    bool xi2 = false;     // the server offers XInput2
    bool running = false; // started, and not stopped since
    bool lossReported = false;
    std::unique_ptr<QSocketNotifier> notifier;
    FocusLossMonitor standIn;
    QTimer retry;
    Backoff backoff;

    ~Impl() {
        notifier.reset();
        close();
    }

    // Closes the connection; its notifier may be the one whose signal is being handled, so it
    // goes later.
    void close() {
        if (notifier) {
            notifier->setEnabled(false);
            notifier.release()->deleteLater();
        }
        if (conn)
            xcb_disconnect(conn);
        conn = nullptr;
    }

    // Connects to the X server; false when it cannot be reached. Without XInput2 on the server
    // the connection is not kept (xi2 stays false).
    bool open() {
        xi2 = false;
        conn = xcb::connectToDisplay(&root);
        if (!conn)
            return false;
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn, &xcb_input_id);
        if (ext && ext->present) {
            xiOpcode = ext->major_opcode;
            // Announcing 2.2 has the server deliver raw presses even while another program
            // holds a pointer grab (an open menu elsewhere).
            const auto version = xcb::reply<xcb_input_xi_query_version_reply_t>(
                conn, xcb_input_xi_query_version(conn, 2, 2).sequence);
            xi2 = version && version->major_version >= 2;
        }
        if (!xi2)
            close();
        return true;
    }

    void select(bool on) {
        struct {
            xcb_input_event_mask_t head;
            uint32_t mask;
        } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
               on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS |
                             XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE)
                  : 0u};
        xcb_input_xi_select_events(conn, root, 1, &mask.head);
        // A round trip: once start() returns, the server delivers what it selected.
        xcb::reply<xcb_get_input_focus_reply_t>(conn, xcb_get_input_focus(conn).sequence);
    }

    QPoint pointer() {
        const auto r =
            xcb::reply<xcb_query_pointer_reply_t>(conn, xcb_query_pointer(conn, root).sequence);
        return r ? QPoint(r->root_x, r->root_y) : QPoint();
    }
};

X11MouseMonitor::X11MouseMonitor(QObject* parent)
    : GlobalMouseMonitor(parent), d(std::make_unique<Impl>()) {
    d->retry.setSingleShot(true);
    connect(&d->retry, &QTimer::timeout, this, &X11MouseMonitor::reconnect);
    connect(&d->standIn, &GlobalMouseMonitor::pressed, this, &GlobalMouseMonitor::pressed);
    if (!d->open() || !d->xi2)
        return; // no X server or no XInput2: losing activation stands in for presses
    watchConnection();
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { drain(false); });
}

X11MouseMonitor::~X11MouseMonitor() = default;

bool X11MouseMonitor::seesPresses() const {
    return d->xi2;
}
bool X11MouseMonitor::isRunning() const {
    return d->running;
}

void X11MouseMonitor::start() {
    if (d->running)
        return;
    d->running = true;
    if (d->conn)
        d->select(true);
    useStandIn(!d->conn);
}

void X11MouseMonitor::stop() {
    if (!d->running)
        return;
    d->running = false;
    if (d->conn)
        d->select(false);
    useStandIn(false);
}

// While presses cannot be seen (no XInput2, or the X connection is away), this program losing
// activation stands in for a press elsewhere.
void X11MouseMonitor::useStandIn(bool on) {
    if (on)
        d->standIn.start();
    else
        d->standIn.stop();
}

void X11MouseMonitor::watchConnection() {
    d->notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(d->conn), QSocketNotifier::Read);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, [this] { drain(true); });
}

void X11MouseMonitor::serverLost() {
    d->close();
    if (!d->lossReported) {
        d->lossReported = true;
        diag(QStringLiteral("mouse monitor: lost the X server; retrying"));
    }
    if (d->running)
        useStandIn(true);
    d->retry.start(d->backoff.next());
}

void X11MouseMonitor::reconnect() {
    if (!d->open()) {
        d->retry.start(d->backoff.next());
        return;
    }
    d->backoff.reset();
    if (d->lossReported) {
        d->lossReported = false;
        diag(QStringLiteral("mouse monitor: connected to the X server again"));
    }
    if (!d->conn)
        return; // the server came back without XInput2: the stand-in stays
    watchConnection();
    if (d->running) {
        d->select(true);
        useStandIn(false);
    }
}

void X11MouseMonitor::drain(bool readSocket) {
    if (!d->conn)
        return;
    while (!xcb_connection_has_error(d->conn)) {
        xcb::Owned<xcb_generic_event_t> event(readSocket ? xcb_poll_for_event(d->conn)
                                                         : xcb_poll_for_queued_event(d->conn));
        if (!event)
            break;
        if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
            continue;
        const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
        const bool press = ge->event_type == XCB_INPUT_RAW_BUTTON_PRESS;
        if (ge->extension != d->xiOpcode ||
            (!press && ge->event_type != XCB_INPUT_RAW_BUTTON_RELEASE))
            continue;
        const auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event.get());
        if (!d->running || raw->detail < 1 || raw->detail > 3)
            continue;
        if (press)
            report(int(raw->detail));
        else
            emit released(int(raw->detail));
    }
    if (d->conn && xcb_connection_has_error(d->conn))
        serverLost();
}

void X11MouseMonitor::report(int button) {
    const QPoint at = d->pointer();
    // A press inside one of this program's own windows is not a press elsewhere.
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->frameGeometry().contains(at))
            return;
    }
    emit pressed(button, at);
}

} // namespace vellora
