#include "X11MouseMonitor.h"

#include "Xcb.h"
#include "base/HandOver.h"
#include "base/Logging.h"
#include "base/WorkerThread.h"
#include "platform/Backoff.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <xcb/xinput.h>

namespace vellora {

// Everything here runs on the monitor's thread: connecting (which may wait on a stalled X
// server), selecting, reading events and asking where the pointer is. What it finds goes to
// the monitor by its signals.
class X11MouseMonitor::Watch : public QObject {
    Q_OBJECT

public:
    Watch() {
        retry_.setSingleShot(true);
        connect(&retry_, &QTimer::timeout, this, &Watch::reconnect);
        if (!open() || !conn_)
            return; // no X server or no XInput2: losing activation stands in for presses
        xi2_ = true;
        watchConnection();
        if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                    [this] { drain(false); });
    }
    ~Watch() override {
        notifier_.reset();
        close();
    }

    bool hasXInput2() const { return xi2_; }

    void select(bool on) {
        selected_ = on;
        if (conn_)
            sendSelection();
    }

Q_SIGNALS:
    void pressedAt(int button, QPoint at);
    void released(int button);
    void connectionChanged(bool connected);

private:
    // Connects to the X server; false when it cannot be reached. Without XInput2 on the server
    // the connection is not kept.
    bool open() {
        conn_ = xcb::connectToDisplay(&root_);
        if (!conn_)
            return false;
        bool xi2 = false;
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn_, &xcb_input_id);
        if (ext && ext->present) {
            xiOpcode_ = ext->major_opcode;
            // Announcing 2.2 has the server deliver raw presses even while another program
            // holds a pointer grab (an open menu elsewhere).
            const auto version = xcb::reply<xcb_input_xi_query_version_reply_t>(
                conn_, xcb_input_xi_query_version(conn_, 2, 2).sequence);
            xi2 = version && version->major_version >= 2;
        }
        if (!xi2)
            close();
        return true;
    }

    // Closes the connection; its notifier may be the one whose signal is being handled, so it
    // goes later.
    void close() {
        if (notifier_) {
            notifier_->setEnabled(false);
            notifier_.release()->deleteLater();
        }
        if (conn_)
            xcb_disconnect(conn_);
        conn_ = nullptr;
    }

    void watchConnection() {
        notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(conn_),
                                                      QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { drain(true); });
    }

    void sendSelection() {
        struct {
            xcb_input_event_mask_t head;
            uint32_t mask;
        } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
               selected_ ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS |
                                    XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE)
                         : 0u};
        xcb_input_xi_select_events(conn_, root_, 1, &mask.head);
        xcb_flush(conn_);
    }

    QPoint pointer() {
        const auto r =
            xcb::reply<xcb_query_pointer_reply_t>(conn_, xcb_query_pointer(conn_, root_).sequence);
        return r ? QPoint(r->root_x, r->root_y) : QPoint();
    }

    void serverLost() {
        close();
        if (!std::exchange(lossReported_, true))
            qCWarning(lcInput, "mouse monitor: lost the X server; retrying");
        Q_EMIT connectionChanged(false);
        retry_.start(backoff_.next());
    }

    void reconnect() {
        if (!open()) {
            retry_.start(backoff_.next());
            return;
        }
        backoff_.reset();
        if (std::exchange(lossReported_, false))
            qCInfo(lcInput, "mouse monitor: connected to the X server again");
        if (!conn_)
            return; // the server came back without XInput2: the stand-in stays
        watchConnection();
        sendSelection();
        Q_EMIT connectionChanged(true);
    }

    void drain(bool readSocket) {
        if (!conn_)
            return;
        while (!xcb_connection_has_error(conn_)) {
            xcb::Owned<xcb_generic_event_t> event(readSocket ? xcb_poll_for_event(conn_)
                                                             : xcb_poll_for_queued_event(conn_));
            if (!event)
                break;
            if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
                continue;
            const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
            const bool press = ge->event_type == XCB_INPUT_RAW_BUTTON_PRESS;
            if (ge->extension != xiOpcode_ ||
                (!press && ge->event_type != XCB_INPUT_RAW_BUTTON_RELEASE))
                continue;
            const auto* raw =
                reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event.get());
            if (!selected_ || raw->detail < 1 || raw->detail > 3)
                continue;
            if (press)
                Q_EMIT pressedAt(int(raw->detail), pointer());
            else
                Q_EMIT released(int(raw->detail));
        }
        if (conn_ && xcb_connection_has_error(conn_))
            serverLost();
    }

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
    uint8_t xiOpcode_ = 0;
    bool xi2_ = false;      // the server offered XInput2 at start
    bool selected_ = false; // presses are asked for
    bool lossReported_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retry_;
    Backoff backoff_;
};

X11MouseMonitor::X11MouseMonitor(QObject* parent)
    : GlobalMouseMonitor(parent),
      thread_(std::make_unique<WorkerThread>(QStringLiteral("mouse monitor"))) {
    watch_ = thread_->call([] { return std::make_unique<Watch>(); });
    xi2_ = thread_->call([w = watch_.get()] { return w->hasXInput2(); });
    connected_ = xi2_;
    connect(&standIn_, &GlobalMouseMonitor::pressed, this, &GlobalMouseMonitor::pressed);
    connect(watch_.get(), &Watch::pressedAt, this, &X11MouseMonitor::report);
    connect(watch_.get(), &Watch::released, this, [this](int button) {
        if (running_)
            Q_EMIT released(button);
    });
    connect(watch_.get(), &Watch::connectionChanged, this, [this](bool connected) {
        connected_ = connected;
        useStandIn(running_ && !connected_);
    });
}

X11MouseMonitor::~X11MouseMonitor() {
    thread_->call([this] { watch_.reset(); });
}

bool X11MouseMonitor::seesPresses() const {
    return xi2_;
}
bool X11MouseMonitor::isRunning() const {
    return running_;
}

void X11MouseMonitor::start() {
    if (std::exchange(running_, true))
        return;
    handover::post(watch_.get(), [w = watch_.get()] { w->select(true); });
    useStandIn(!connected_);
}

void X11MouseMonitor::stop() {
    if (!std::exchange(running_, false))
        return;
    handover::post(watch_.get(), [w = watch_.get()] { w->select(false); });
    useStandIn(false);
}

// While presses cannot be seen (no XInput2, or the X connection is away), this program losing
// activation stands in for a press elsewhere.
void X11MouseMonitor::useStandIn(bool on) {
    if (on)
        standIn_.start();
    else
        standIn_.stop();
}

void X11MouseMonitor::report(int button, QPoint at) {
    if (!running_)
        return; // a press seen before the monitor stopped, told after
    // A press inside one of this program's own windows is not a press elsewhere.
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->frameGeometry().contains(at))
            return;
    }
    Q_EMIT pressed(button, at);
}

} // namespace vellora

#include "X11MouseMonitor.moc"
