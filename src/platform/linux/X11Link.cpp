#include "X11Link.h"

#include "Xcb.h"

#include <QDeadlineTimer>
#include <QList>

#include <cstring>
#include <xcb/res.h>
#include <xcb/xcb_ewmh.h>

namespace vellora {

namespace {
using xcb::Owned;

// How long one batch of answers may take, all of them together.
constexpr int kReplyBoundMs = 1000;

// The text of a property up to its first NUL.
QByteArray firstText(const xcb_get_property_reply_t* r) {
    QByteArray raw(static_cast<const char*>(xcb_get_property_value(r)),
                   xcb_get_property_value_length(r));
    if (const auto nul = raw.indexOf('\0'); nul >= 0)
        raw.truncate(nul);
    return raw;
}
} // namespace

struct X11Link::Impl {
    enum TextAtom { GtkApplicationId, KdeDesktopFile };

    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    xcb_atom_t textAtoms[2] = {XCB_ATOM_NONE, XCB_ATOM_NONE};
    bool hasRes = false; // whether the server has the X resource extension

    ~Impl() {
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (conn)
            xcb_disconnect(conn);
    }

    // The answer to a question sent earlier, if it comes before the batch's deadline. An answer
    // already in is taken even after the deadline; one not taken is discarded, never left queued.
    template <class Reply> Owned<Reply> reply(unsigned int sequence, const QDeadlineTimer& by) {
        return xcb::reply<Reply>(conn, sequence, int(by.remainingTime()));
    }

    unsigned int askProperty(xcb_window_t window, xcb_atom_t atom, xcb_atom_t type) {
        return xcb_get_property(conn, 0, window, atom, type, 0, 4096).sequence;
    }

    void selectEvents(xcb_window_t window, uint32_t mask) {
        xcb_change_window_attributes(conn, window, XCB_CW_EVENT_MASK, &mask);
    }

    // Sends every question the connection needs before use, then waits once for them all: the
    // answer to a last, trivial question means every earlier one is in, so reading them cannot
    // block any more.
    bool prepare() {
        xcb_intern_atom_cookie_t* ewmhCookies = xcb_ewmh_init_atoms(conn, &ewmh);
        if (!ewmhCookies)
            return false;
        const char* names[2] = {"_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE"};
        unsigned int atoms[2];
        for (int i : {GtkApplicationId, KdeDesktopFile})
            atoms[i] = xcb_intern_atom(conn, 0, uint16_t(strlen(names[i])), names[i]).sequence;
        xcb_prefetch_extension_data(conn, &xcb_res_id);
        const QDeadlineTimer by(kReplyBoundMs);
        if (!reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus(conn).sequence, by)) {
            std::free(ewmhCookies);
            xcb_ewmh_connection_wipe(&ewmh);
            return false;
        }
        // Frees the cookies, and what it set up when it fails.
        ewmhReady = xcb_ewmh_init_atoms_replies(&ewmh, ewmhCookies, nullptr) != 0;
        for (int i : {GtkApplicationId, KdeDesktopFile}) {
            if (const auto r = reply<xcb_intern_atom_reply_t>(atoms[i], by))
                textAtoms[i] = r->atom;
        }
        const xcb_query_extension_reply_t* res = xcb_get_extension_data(conn, &xcb_res_id);
        hasRes = res && res->present;
        return ewmhReady;
    }
};

X11Link::X11Link(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
X11Link::~X11Link() = default;

std::unique_ptr<X11Link> X11Link::open() {
    auto impl = std::make_unique<Impl>();
    impl->conn = xcb::connectToDisplay(&impl->root);
    if (!impl->conn || !impl->prepare())
        return nullptr;
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
    flush();
}
void X11Link::watch(uint32_t window, bool properties) {
    d->selectEvents(window, XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                (properties ? XCB_EVENT_MASK_PROPERTY_CHANGE : 0));
}
void X11Link::unwatch(uint32_t window) {
    d->selectEvents(window, XCB_EVENT_MASK_NO_EVENT);
}
void X11Link::flush() {
    xcb_flush(d->conn);
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
        } else if (pn->atom == XCB_ATOM_WM_CLASS ||
                   pn->atom == d->textAtoms[Impl::GtkApplicationId] ||
                   pn->atom == d->textAtoms[Impl::KdeDesktopFile]) {
            e.namingPropertyChanged = true;
        } else {
            continue;
        }
        return e;
    }
}

std::optional<uint32_t> X11Link::activeWindow() {
    // Any type with 32-bit data: some clients write the id as a CARDINAL.
    const auto sequence =
        d->askProperty(d->root, d->ewmh._NET_ACTIVE_WINDOW, XCB_GET_PROPERTY_TYPE_ANY);
    const auto r = d->reply<xcb_get_property_reply_t>(sequence, QDeadlineTimer(kReplyBoundMs));
    if (!r)
        return std::nullopt;
    if (r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
        return 0u;
    return *static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
}

std::optional<WindowFacts> X11Link::describe(uint32_t window) {
    if (window == 0)
        return std::nullopt;
    // Every question first, then the answers; each is collected, so that none is left queued.
    const auto wmClassAsked = d->askProperty(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    std::optional<unsigned int> textAsked[2];
    for (int i : {Impl::GtkApplicationId, Impl::KdeDesktopFile}) {
        if (d->textAtoms[i] != XCB_ATOM_NONE)
            textAsked[i] = d->askProperty(window, d->textAtoms[i], XCB_GET_PROPERTY_TYPE_ANY);
    }
    const auto pidAsked = xcb_ewmh_get_wm_pid(&d->ewmh, window).sequence;
    // Clients that do not say their pid are known to the server's resource extension.
    std::optional<unsigned int> clientAsked;
    if (d->hasRes) {
        xcb_res_client_id_spec_t client{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        clientAsked = xcb_res_query_client_ids(d->conn, 1, &client).sequence;
    }

    const QDeadlineTimer by(kReplyBoundMs);
    const auto wmClass = d->reply<xcb_get_property_reply_t>(wmClassAsked, by);
    Owned<xcb_get_property_reply_t> texts[2];
    for (int i : {Impl::GtkApplicationId, Impl::KdeDesktopFile}) {
        if (textAsked[i])
            texts[i] = d->reply<xcb_get_property_reply_t>(*textAsked[i], by);
    }
    const auto pidProperty = d->reply<xcb_get_property_reply_t>(pidAsked, by);
    const auto clientIds =
        clientAsked ? d->reply<xcb_res_query_client_ids_reply_t>(*clientAsked, by) : nullptr;
    if (!wmClass)
        return std::nullopt; // BadWindow: the window is gone

    WindowFacts f;
    const QByteArray classRaw(static_cast<const char*>(xcb_get_property_value(wmClass.get())),
                              xcb_get_property_value_length(wmClass.get()));
    const QList<QByteArray> parts = classRaw.split('\0');
    f.wmInstance = QString::fromLocal8Bit(parts.value(0));
    f.wmClass = QString::fromLocal8Bit(parts.value(1));
    if (texts[Impl::GtkApplicationId])
        f.gtkApplicationId = QString::fromUtf8(firstText(texts[Impl::GtkApplicationId].get()));
    if (texts[Impl::KdeDesktopFile])
        f.kdeDesktopFile = QString::fromUtf8(firstText(texts[Impl::KdeDesktopFile].get()));

    uint32_t pid = 0;
    if (pidProperty && xcb_ewmh_get_cardinal_from_reply(&pid, pidProperty.get()) && pid) {
        f.pid = pid;
    } else if (clientIds) {
        // Only process ids were asked for, so each answer is one.
        for (auto it = xcb_res_query_client_ids_ids_iterator(clientIds.get()); it.rem;
             xcb_res_client_id_value_next(&it)) {
            if (xcb_res_client_id_value_value_length(it.data) >= 1) {
                f.pid = *xcb_res_client_id_value_value(it.data);
                break;
            }
        }
    }
    return f;
}

} // namespace vellora
