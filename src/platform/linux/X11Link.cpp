#include "X11Link.h"

#include "Xcb.h"

#include <QList>

#include <cstring>
#include <xcb/res.h>
#include <xcb/xcb_ewmh.h>

namespace vellora {

namespace {
using xcb::Owned;
} // namespace

struct X11Link::Impl {
    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    xcb_atom_t textAtoms[2] = {XCB_ATOM_NONE, XCB_ATOM_NONE};

    ~Impl() {
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (conn)
            xcb_disconnect(conn);
    }

    template <class Reply> Owned<Reply> reply(unsigned int sequence) {
        return xcb::reply<Reply>(conn, sequence);
    }

    xcb_atom_t intern(const char* name) {
        const auto cookie = xcb_intern_atom(conn, 0, uint16_t(strlen(name)), name);
        const auto r = reply<xcb_intern_atom_reply_t>(cookie.sequence);
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    Owned<xcb_get_property_reply_t> property(xcb_window_t window, xcb_atom_t atom,
                                             xcb_atom_t type) {
        const auto cookie = xcb_get_property(conn, 0, window, atom, type, 0, 4096);
        return reply<xcb_get_property_reply_t>(cookie.sequence);
    }

    void selectEvents(xcb_window_t window, uint32_t mask) {
        xcb_change_window_attributes(conn, window, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(conn);
    }
};

X11Link::X11Link(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
X11Link::~X11Link() = default;

std::unique_ptr<X11Link> X11Link::open() {
    auto impl = std::make_unique<Impl>();
    impl->conn = xcb::connectToDisplay(&impl->root);
    if (!impl->conn)
        return nullptr;

    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(impl->conn, &impl->ewmh);
    impl->ewmhReady = xcb_ewmh_init_atoms_replies(&impl->ewmh, cookies, nullptr) != 0;
    if (!impl->ewmhReady)
        return nullptr;
    impl->textAtoms[GtkApplicationId] = impl->intern("_GTK_APPLICATION_ID");
    impl->textAtoms[KdeDesktopFile] = impl->intern("_KDE_NET_WM_DESKTOP_FILE");
    return std::unique_ptr<X11Link>(new X11Link(std::move(impl)));
}

int X11Link::fd() const {
    return xcb_get_file_descriptor(d->conn);
}
bool X11Link::hasError() const {
    return xcb_connection_has_error(d->conn) != 0;
}

void X11Link::watchRoot() {
    d->selectEvents(d->root, XCB_EVENT_MASK_PROPERTY_CHANGE);
}
void X11Link::watch(uint32_t window, bool properties) {
    d->selectEvents(window, XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                (properties ? XCB_EVENT_MASK_PROPERTY_CHANGE : 0));
}
void X11Link::unwatch(uint32_t window) {
    d->selectEvents(window, XCB_EVENT_MASK_NO_EVENT);
}

std::optional<X11Link::Event> X11Link::nextEvent(bool readSocket) {
    for (;;) {
        Owned<xcb_generic_event_t> event(readSocket ? xcb_poll_for_event(d->conn)
                                                    : xcb_poll_for_queued_event(d->conn));
        if (!event)
            return std::nullopt;
        // Errors (response type 0) concern windows that vanished meanwhile: nothing to do.
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_DESTROY_NOTIFY) {
            const auto* dn = reinterpret_cast<const xcb_destroy_notify_event_t*>(event.get());
            if (dn->event != dn->window)
                continue; // a child of a watched window
            Event e;
            e.window = dn->window;
            e.destroyed = true;
            return e;
        }
        if (type != XCB_PROPERTY_NOTIFY)
            continue;
        const auto* pn = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        Event e;
        e.window = pn->window;
        if (pn->window == d->root) {
            if (pn->atom != d->ewmh._NET_ACTIVE_WINDOW)
                continue;
            e.activeWindowChanged = true;
        } else if (pn->atom == XCB_ATOM_WM_CLASS || pn->atom == d->textAtoms[GtkApplicationId] ||
                   pn->atom == d->textAtoms[KdeDesktopFile]) {
            e.namingPropertyChanged = true;
        } else {
            continue;
        }
        return e;
    }
}

std::optional<uint32_t> X11Link::activeWindow() {
    // Any type with 32-bit data: some clients write the id as a CARDINAL.
    const auto r = d->property(d->root, d->ewmh._NET_ACTIVE_WINDOW, XCB_GET_PROPERTY_TYPE_ANY);
    if (!r)
        return std::nullopt;
    if (r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
        return 0u;
    return *static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
}

std::optional<std::pair<QString, QString>> X11Link::wmClass(uint32_t window) {
    if (window == 0)
        return std::nullopt;
    const auto r = d->property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    if (!r)
        return std::nullopt; // BadWindow: the window is gone
    const int length = xcb_get_property_value_length(r.get());
    const QByteArray raw(static_cast<const char*>(xcb_get_property_value(r.get())), length);
    const QList<QByteArray> parts = raw.split('\0');
    return std::pair{QString::fromLocal8Bit(parts.value(0)),
                     QString::fromLocal8Bit(parts.value(1))};
}

std::optional<QString> X11Link::textProperty(uint32_t window, TextAtom atom) {
    if (d->textAtoms[atom] == XCB_ATOM_NONE)
        return std::nullopt;
    const auto r = d->property(window, d->textAtoms[atom], XCB_GET_PROPERTY_TYPE_ANY);
    if (!r)
        return std::nullopt;
    const int length = xcb_get_property_value_length(r.get());
    QByteArray raw(static_cast<const char*>(xcb_get_property_value(r.get())), length);
    if (const auto nul = raw.indexOf('\0'); nul >= 0)
        raw.truncate(nul);
    return QString::fromUtf8(raw);
}

qint64 X11Link::windowPid(uint32_t window) {
    const auto cookie = xcb_ewmh_get_wm_pid(&d->ewmh, window);
    if (const auto r = d->reply<xcb_get_property_reply_t>(cookie.sequence)) {
        uint32_t pid = 0;
        if (xcb_ewmh_get_cardinal_from_reply(&pid, r.get()) && pid)
            return pid;
    }
    // Clients that do not say their pid are known to the server's resource extension.
    xcb_res_client_id_spec_t client{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    const auto idCookie = xcb_res_query_client_ids(d->conn, 1, &client);
    const auto ids = d->reply<xcb_res_query_client_ids_reply_t>(idCookie.sequence);
    if (!ids)
        return 0;
    // Only process ids were asked for, so each answer is one.
    for (auto it = xcb_res_query_client_ids_ids_iterator(ids.get()); it.rem;
         xcb_res_client_id_value_next(&it)) {
        if (xcb_res_client_id_value_value_length(it.data) >= 1)
            return *xcb_res_client_id_value_value(it.data);
    }
    return 0;
}

} // namespace vellora
