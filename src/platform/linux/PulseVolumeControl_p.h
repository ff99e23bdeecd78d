#pragma once

// The inside of PulseVolumeControl, shared by its two source files: the connection, its
// requests and the public calls (PulseVolumeControl.cpp), and what the connection sees of the
// server's default output, kept current and renewed when it goes stale (PulseServerView.cpp).
// Everything here runs with the loop locked, or on the loop's own thread.

#include "PulseVolumeControl.h"
#include "platform/Backoff.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <pulse/pulseaudio.h>
#include <utility>

namespace vellora {

struct PulseVolumeControl::Impl {
    static constexpr pa_usec_t kCallBound =
        pa_usec_t{1000} * 1000; // every call waits at most one second

    // A timer of the main loop that runs one of Impl's steps once, usec from when it starts.
    struct OneShot {
        Impl* d;
        void (Impl::*step)();
        pa_time_event* event = nullptr;
        bool active() const { return event != nullptr; }
        void start(pa_usec_t usec) {
            const timeval when = after(usec);
            event = d->api->time_new(d->api, &when, &OneShot::fire, this);
        }
        void stop() {
            if (event)
                d->api->time_free(std::exchange(event, nullptr));
        }
        static void fire(pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
            auto* timer = static_cast<OneShot*>(self);
            timer->stop();
            (timer->d->*timer->step)();
        }
    };

    PulseVolumeControl* owner = nullptr;
    pa_threaded_mainloop* loop = nullptr;
    pa_mainloop_api* api = nullptr;
    pa_context* context = nullptr;
    OneShot retry{this, &Impl::connect};
    unsigned connections = 0; // made so far
    unsigned settledOn = 0;   // the connection whose view of the default output is complete
    // After a spell without a default output, PipeWire's server may go on telling a connection
    // that there is none although its session manager named one (a connection made as the server
    // started keeps a stale view). While there is none, the server is asked again a few times,
    // further apart each time, from the third time on over a new connection, which sees afresh.
    OneShot reask{this, &Impl::reaskNow};
    int reasked = 0;                       // in this spell; an output that appears starts it again
    static constexpr int kReaskLimit = 6;  // 0.2 s doubling: the last about 12.6 s into the spell
    static constexpr int kFreshViewAt = 3; // 1.4 s into it
    // Such a stale view may also hold an output that is there, and then miss every later change
    // of the default. So a while after a connection made at start or after an outage, a second
    // one opens beside it and takes its place once the server answers on it (a stalled server
    // keeps the old one): twice, the second time after the session manager has surely settled.
    // Only what happens starts it: a read or a set once it is due, or a change of outputs
    // announced before then, which sets a timer for when it is due. An idle program sleeps on.
    OneShot renew{this, &Impl::openFresh};
    pa_context* fresh = nullptr;
    int waiting = 0; // requests in flight
    pa_usec_t connectedAt = 0;
    int renewals = 0; // since the start or the last outage
    static constexpr pa_usec_t kRenewAfterMs[] = {2000, 8000};
    Backoff backoff;
    bool ready = false;
    bool everReported = false;
    // The default sink as the server last announced it, kept current by a subscription, so a
    // capture costs no round trip and a set is one request.
    QString sinkName;
    QString sinkDescription;
    QByteArray sinkPort; // its active port, if it has ports
    // The percent this control is setting on the default sink: the server's news of it is no
    // change by hand. Expected until news shows it, or any news comes once the set is done.
    std::optional<int> ownPercent;
    bool ownPercentSet = false;
    uint32_t sinkIndex = PA_INVALID_INDEX;
    std::optional<pa_cvolume> sinkVolume;
    // Said once the default sink's volume is known: the default changed, or what the server
    // holds may differ from what was asked (below).
    bool outputMoved = false;
    bool resyncOwed = false;
    // A request went unanswered while the connection stayed (a stalled server): it may still be
    // carried out when the server goes on, and PipeWire's server drops a later one that matches
    // the volume it still shows. The first change of the default sink after it owes a resync,
    // on what the server then holds.
    bool stalled = false;
    // Whether the owner was told that a default sink's volume follows its loudest stream. Told
    // once for the whole run: flat volumes are a setting of the server, not of one output.
    bool flatVolumesTold = false;

    // --- the connection (PulseVolumeControl.cpp) ---

    void connect();
    void dropContext(); // forgets the connections and all they knew
    void forget(pa_context*& c);
    void report(bool connected); // to the owner, on its thread, when it changes
    void lost();
    void scheduleRetry();
    static void onState(pa_context* c, void* self);
    // The wall-clock time usec from now, as the main loop's timers take it.
    static timeval after(pa_usec_t usec);

    // --- the view of the default output (PulseServerView.cpp) ---

    // Subscribes the connection in use to the server's news and asks for the default output.
    void watch();
    void refreshServer();
    // Whether the default sink was asked for (there is one).
    bool refreshSink();
    // The connection counts only once the default sink is known: a capture made as it comes
    // back (the switch replays then) must know which output its volume belongs to.
    void settled();
    static void onServerInfo(pa_context*, const pa_server_info* info, void* self);
    static void onDefaultSink(pa_context*, const pa_sink_info* info, int eol, void* self);
    static void onEvent(pa_context*, pa_subscription_event_type_t t, uint32_t index, void* self);

    // Asks again, later each time, while the server names no default output.
    void reaskLater();
    void reaskNow();
    // A read or a set while a renewal is under way waits, within the bound of one call, for the
    // fresh connection's view: acting on the stale one would put a level on an output that is
    // no longer the default, and the session manager may remember it there.
    void awaitFreshView();
    // Renews the connection if a renewal is due; with untilDue, also one that is due later.
    void renewIfDue(bool untilDue = false);
    // Opens a connection beside the one in use, to take its place once the server answers.
    void openFresh();
    static void onFreshState(pa_context* c, void* self);
    // The fresh connection takes the old one's place once no request waits on the old one (an
    // answer on its way would be lost). What the old one knew stays until the new one's answers
    // replace it: a default that moved unseen is then announced, and the switch runs again, as
    // it does for a request the old one left unanswered (a stalled server may still carry it out).
    void takeFreshWhenIdle();

    // --- requests (PulseVolumeControl.cpp) ---

    // Waits until done() holds or the bound passes.
    template <class Done> bool waitUntil(Done done) {
        struct Deadline {
            pa_threaded_mainloop* loop;
            bool expired = false;
        } deadline{loop};
        const timeval when = after(kCallBound);
        pa_time_event* timer = api->time_new(
            api, &when,
            [](pa_mainloop_api*, pa_time_event*, const timeval*, void* p) {
                auto* dl = static_cast<Deadline*>(p);
                dl->expired = true;
                pa_threaded_mainloop_signal(dl->loop, 0);
            },
            &deadline);
        while (!done() && !deadline.expired)
            pa_threaded_mainloop_wait(loop);
        api->time_free(timer);
        return done();
    }

    // Runs one server request and waits for its answer; false on time-out or loss of the server.
    template <class Start> bool request(bool& done, Start start) {
        if (!ready || !context)
            return false;
        pa_operation* op = start();
        if (!op)
            return false;
        const unsigned asked = connections; // a new connection drops what the old one was asked
        ++waiting;
        waitUntil([&] { return done || !ready || connections != asked; });
        --waiting;
        if (!done) {
            pa_operation_cancel(op);
            stalled = stalled || (ready && connections == asked);
        }
        pa_operation_unref(op);
        takeFreshWhenIdle();
        return done;
    }

    // A sink's volume: the one kept for the default sink, else asked for (one round trip).
    std::optional<pa_cvolume> sinkVolumeOf(const QByteArray& name);
    // The loudest channel in whole percent, rounded.
    static int percentOf(const pa_cvolume& volume);
    struct SinkVolume {
        Impl* d;
        bool done = false;
        bool found = false;
        pa_cvolume volume{};
    };
    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* p);
    struct Ack {
        Impl* d;
        bool done = false;
        bool success = false;
    };
    static void onAck(pa_context*, int success, void* p);
};

} // namespace vellora
