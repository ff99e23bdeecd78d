#include "X11MouseMonitor.h"

#include "Xcb.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWindow>

#include <xcb/xinput.h>

namespace vellora {

struct X11MouseMonitor::Impl {
    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    uint8_t xiOpcode = 0;
    bool xi2 = false;
    bool running = false;
    std::unique_ptr<QSocketNotifier> notifier;
    QMetaObject::Connection inactive;

    ~Impl() {
        notifier.reset();
        if (conn)
            xcb_disconnect(conn);
    }

    bool open() {
        conn = xcb::connectToDisplay(&root);
        if (!conn)
            return false;
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn, &xcb_input_id);
        if (!ext || !ext->present)
            return false;
        xiOpcode = ext->major_opcode;
        const auto version = xcb::reply<xcb_input_xi_query_version_reply_t>(
            conn, xcb_input_xi_query_version(conn, 2, 0).sequence);
        return version && version->major_version >= 2;
    }

    void select(bool on) {
        struct {
            xcb_input_event_mask_t head;
            uint32_t mask;
        } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
               on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS) : 0u};
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
    d->xi2 = d->open();
    if (!d->xi2)
        return;
    d->notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(d->conn), QSocketNotifier::Read);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, [this] { drain(true); });
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
    if (d->xi2) {
        d->select(true);
        return;
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        d->inactive = connect(app, &QGuiApplication::applicationStateChanged, this,
                              [this](Qt::ApplicationState state) {
                                  if (state == Qt::ApplicationInactive)
                                      emit pressed(0, QPoint());
                              });
    }
}

void X11MouseMonitor::stop() {
    if (!d->running)
        return;
    d->running = false;
    if (d->xi2)
        d->select(false);
    disconnect(d->inactive);
}

void X11MouseMonitor::drain(bool readSocket) {
    if (!d->conn || xcb_connection_has_error(d->conn))
        return;
    for (;;) {
        xcb::Owned<xcb_generic_event_t> event(readSocket ? xcb_poll_for_event(d->conn)
                                                         : xcb_poll_for_queued_event(d->conn));
        if (!event)
            break;
        if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
            continue;
        const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
        if (ge->extension != d->xiOpcode || ge->event_type != XCB_INPUT_RAW_BUTTON_PRESS)
            continue;
        const auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event.get());
        if (d->running && raw->detail >= 1 && raw->detail <= 3)
            report(int(raw->detail));
    }
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
