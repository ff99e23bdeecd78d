#include "PulseVolumeControl.h"

#include "core/HandOver.h"
#include "core/Logging.h"
#include "platform/Backoff.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <utility>

namespace vellora {

namespace {
constexpr pa_usec_t kCallBound = 1000 * 1000; // every call waits at most one second
// The largest percent the server takes. A restore puts back a volume this server reported, which
// it never holds above PA_VOLUME_MAX; a lower bound such as PA_VOLUME_UI_MAX (153 %) would lose a
// volume another tool had set higher. Table levels stay within 100 before they get here.
constexpr int kMaxPercent = int(quint64(PA_VOLUME_MAX) * 100 / PA_VOLUME_NORM);
constexpr char kNoDefaultSink[] = "@DEFAULT_SINK@";
} // namespace

// The wall-clock time usec from now, as the main loop's timers take it.
timeval after(pa_usec_t usec) {
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, usec);
    return when;
}

struct PulseVolumeControl::Impl {
    PulseVolumeControl* owner = nullptr;
    pa_threaded_mainloop* loop = nullptr;
    pa_mainloop_api* api = nullptr;
    pa_context* context = nullptr;
    pa_time_event* retry = nullptr;
    unsigned connections = 0; // made so far
    unsigned settledOn = 0;   // the connection whose view of the default output is complete
    // After a spell without a default output, PipeWire's server may go on telling a connection
    // that there is none although its session manager named one (a connection made as the server
    // started keeps a stale view). While there is none, the server is asked again a few times,
    // further apart each time, from the third time on over a new connection, which sees afresh.
    pa_time_event* reask = nullptr;
    int reasked = 0;                       // in this spell; an output that appears starts it again
    static constexpr int kReaskLimit = 6;  // 0.2 s doubling: the last about 12.6 s into the spell
    static constexpr int kFreshViewAt = 3; // 1.4 s into it
    // Such a stale view may also hold an output that is there, and then miss every later change
    // of the default. So a while after a connection made at start or after an outage, a second
    // one opens beside it and takes its place once the server answers on it (a stalled server
    // keeps the old one): twice, the second time after the session manager has surely settled.
    // Only what happens starts it: a read or a set once it is due, or a change of outputs
    // announced before then, which sets a timer for when it is due. An idle program sleeps on.
    pa_time_event* renew = nullptr;
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
    uint32_t sinkIndex = PA_INVALID_INDEX;
    std::optional<pa_cvolume> sinkVolume;
    bool outputMoved = false; // the default changed; said once the new sink's volume is known
    // A request went unanswered while the connection stayed (a stalled server): it may still be
    // carried out when the server goes on, and PipeWire's server drops a later one that matches
    // the volume it still shows. The first change of the default sink after it runs the switch
    // again, on what the server then holds.
    bool stalled = false;

    // --- everything below runs with the loop locked (or on the loop thread) ---

    void connect() {
        ++connections;
        context = pa_context_new(api, "Vellora");
        pa_context_set_state_callback(context, &Impl::onState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            lost();
    }

    void dropContext() {
        sinkName.clear();
        sinkIndex = PA_INVALID_INDEX;
        sinkVolume.reset();
        outputMoved = false;
        stalled = false; // a new connection runs the switch again anyway
        if (reask)
            api->time_free(reask);
        reask = nullptr;
        if (renew)
            api->time_free(renew);
        renew = nullptr;
        forget(fresh);
        forget(context);
    }

    void forget(pa_context*& c) {
        if (!c)
            return;
        pa_context_set_state_callback(c, nullptr, nullptr);
        pa_context_disconnect(c);
        pa_context_unref(c);
        c = nullptr;
    }

    void report(bool connected) {
        if (everReported && connected == ready)
            return;
        everReported = true;
        ready = connected;
        handover::post(owner, [o = owner, connected] { o->onConnectionChanged(connected); });
    }

    void lost() {
        dropContext();
        reasked = 0;
        renewals = 0;
        report(false);
        scheduleRetry();
        pa_threaded_mainloop_signal(loop, 0);
    }

    void scheduleRetry() {
        if (retry)
            return;
        const timeval when = after(pa_usec_t(backoff.next().count()) * PA_USEC_PER_MSEC);
        retry = api->time_new(api, &when, &Impl::onRetry, this);
    }

    static void onRetry(pa_mainloop_api* api, pa_time_event* e, const timeval*, void* self) {
        auto* d = static_cast<Impl*>(self);
        api->time_free(e);
        d->retry = nullptr;
        d->connect();
    }

    void reaskLater() {
        if (reask || reasked >= kReaskLimit)
            return;
        const timeval when = after(pa_usec_t(200 << reasked++) * PA_USEC_PER_MSEC);
        reask = api->time_new(api, &when, &Impl::onReask, this);
    }

    static void onReask(pa_mainloop_api* api, pa_time_event* e, const timeval*, void* self) {
        auto* d = static_cast<Impl*>(self);
        api->time_free(e);
        d->reask = nullptr;
        if (!d->context || !d->sinkName.isEmpty())
            return;
        qCDebug(lcAudio, "no default output yet; asking again (%d)", d->reasked);
        if (d->reasked < kFreshViewAt)
            d->refreshServer();
        else
            d->openFresh();
    }

    // A read or a set while a renewal is under way waits, within the bound of one call, for the
    // fresh connection's view: acting on the stale one would put a level on an output that is
    // no longer the default, and the session manager may remember it there.
    void awaitFreshView() {
        if (fresh)
            waitUntil([this] { return !fresh && settledOn == connections; });
    }

    // Renews the connection if a renewal is due; with untilDue, also one that is due later.
    void renewIfDue(bool untilDue = false) {
        if (renewals >= int(std::size(kRenewAfterMs)) || renew)
            return;
        const pa_usec_t due = connectedAt + kRenewAfterMs[renewals] * PA_USEC_PER_MSEC;
        if (pa_rtclock_now() >= due) {
            openFresh();
        } else if (untilDue) {
            const timeval when = after(due - pa_rtclock_now());
            renew = api->time_new(api, &when, &Impl::onRenewDue, this);
        }
    }

    static void onRenewDue(pa_mainloop_api* api, pa_time_event* e, const timeval*, void* self) {
        auto* d = static_cast<Impl*>(self);
        api->time_free(e);
        d->renew = nullptr;
        d->openFresh();
    }

    // Opens a connection beside the one in use, to take its place once the server answers.
    void openFresh() {
        if (!context || fresh)
            return;
        fresh = pa_context_new(api, "Vellora");
        pa_context_set_state_callback(fresh, &Impl::onFreshState, this);
        if (pa_context_connect(fresh, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            forget(fresh);
    }

    static void onFreshState(pa_context* c, void* self) {
        auto* d = static_cast<Impl*>(self);
        const pa_context_state_t state = pa_context_get_state(c);
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
            d->forget(d->fresh); // the next read or set may try again
        d->takeFreshWhenIdle();
        pa_threaded_mainloop_signal(d->loop, 0); // a read or set may wait for it
    }

    // The fresh connection takes the old one's place once no request waits on the old one (an
    // answer on its way would be lost). What the old one knew stays until the new one's answers
    // replace it: a default that moved unseen is then announced, and the switch runs again, as
    // it does for a request the old one left unanswered (a stalled server may still carry it out).
    void takeFreshWhenIdle() {
        if (!fresh || pa_context_get_state(fresh) != PA_CONTEXT_READY || waiting > 0)
            return;
        qCDebug(lcAudio, "a fresh connection takes the old one's place");
        ++renewals;
        forget(context);
        context = std::exchange(fresh, nullptr);
        ++connections;
        outputMoved = outputMoved || std::exchange(stalled, false);
        pa_context_set_state_callback(context, &Impl::onState, this);
        watch();
    }

    static void onState(pa_context* c, void* self) {
        auto* d = static_cast<Impl*>(self);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            qCDebug(lcAudio, "connection %u ready", d->connections);
            d->backoff.reset();
            d->connectedAt = pa_rtclock_now();
            d->watch(); // the connection counts once the default sink is known
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            d->lost();
            break;
        default:
            break;
        }
    }

    // --- the subscription: answers arrive on the loop's thread, nobody waits for them ---

    void watch() {
        pa_context_set_subscribe_callback(context, &Impl::onEvent, this);
        const auto mask =
            pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
        if (pa_operation* op = pa_context_subscribe(context, mask, nullptr, nullptr))
            pa_operation_unref(op);
        refreshServer();
    }

    void refreshServer() {
        if (pa_operation* op = pa_context_get_server_info(context, &Impl::onServerInfo, this))
            pa_operation_unref(op);
    }

    // Whether the default sink was asked for (there is one).
    bool refreshSink() {
        if (sinkName.isEmpty())
            return false;
        const QByteArray name = sinkName.toUtf8();
        pa_operation* op =
            pa_context_get_sink_info_by_name(context, name.constData(), &Impl::onDefaultSink, this);
        if (op)
            pa_operation_unref(op);
        return op != nullptr;
    }

    // The connection counts only once the default sink is known: a capture made as it comes
    // back (the switch replays then) must know which output its volume belongs to.
    void settled() {
        settledOn = connections;
        report(true);
        pa_threaded_mainloop_signal(loop, 0);
    }

    static void onServerInfo(pa_context*, const pa_server_info* info, void* self) {
        auto* d = static_cast<Impl*>(self);
        if (!info) {
            d->settled(); // no answer: the default stays unknown, the server still counts
            return;
        }
        // PipeWire's server names no default output "@DEFAULT_SINK@" while it has none. Asked
        // for by that name, it answers with whichever output is the default by then: a level set
        // there would be read back as that output's own volume, and the user's volume lost.
        QString name = QString::fromUtf8(info->default_sink_name);
        if (name == QLatin1String(kNoDefaultSink))
            name.clear();
        qCDebug(lcAudio, "the server names \"%s\" the default output", info->default_sink_name);
        if (name.isEmpty())
            d->reaskLater();
        else
            d->reasked = 0;
        if (name != d->sinkName) {
            d->outputMoved = d->outputMoved || !d->sinkName.isEmpty();
            d->sinkName = name;
            d->sinkIndex = PA_INVALID_INDEX;
            d->sinkVolume.reset();
        }
        if (!d->refreshSink())
            d->settled(); // no default sink
    }

    static void onDefaultSink(pa_context*, const pa_sink_info* info, int eol, void* self) {
        auto* d = static_cast<Impl*>(self);
        if (info && QString::fromUtf8(info->name) == d->sinkName) {
            // The default output found only after the connection counted (a server back without
            // one, as PipeWire's is until its session manager names it, or with one not listed
            // yet): a switch made meanwhile found nothing to act on and runs again.
            d->outputMoved = d->outputMoved || (d->ready && !d->sinkVolume);
            d->sinkIndex = info->index;
            d->sinkVolume = info->volume;
            qCDebug(lcAudio, "the default output %s is at %.0f %%", info->name,
                    100.0 * pa_cvolume_max(&info->volume) / PA_VOLUME_NORM);
        }
        if (eol < 0) // no such sink (any more): what was kept of it is no answer
            d->sinkVolume.reset();
        if (eol)
            d->settled();
        if (eol && d->outputMoved) {
            d->outputMoved = false;
            handover::post(d->owner, [o = d->owner] { o->onOutputChanged(); });
        }
    }

    static void onEvent(pa_context*, pa_subscription_event_type_t t, uint32_t index, void* self) {
        auto* d = static_cast<Impl*>(self);
        const auto facility = t & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const auto type = t & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SERVER || type != PA_SUBSCRIPTION_EVENT_CHANGE)
            d->renewIfDue(true); // outputs come, go or change places
        if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
            d->refreshServer(); // the default sink may have changed
        } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && !d->sinkVolume) {
            // Perhaps the default output, arriving or named before it was there.
            if (type == PA_SUBSCRIPTION_EVENT_NEW)
                d->reasked = 0;
            d->refreshServer();
        } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && index == d->sinkIndex) {
            if (type == PA_SUBSCRIPTION_EVENT_REMOVE) {
                d->sinkVolume.reset(); // gone: a read asks until the new default is known
                d->refreshServer();
            } else {
                d->outputMoved = d->outputMoved || std::exchange(d->stalled, false);
                d->refreshSink();
            }
        }
    }

    // Waits until done() holds or the bound passes; the loop must be locked.
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

    struct SinkVolume {
        Impl* d;
        bool done = false;
        bool found = false;
        pa_cvolume volume{};
    };

    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* p) {
        auto* r = static_cast<SinkVolume*>(p);
        if (info && !r->found) {
            r->volume = info->volume;
            r->found = true;
        }
        if (eol) {
            r->done = true;
            pa_threaded_mainloop_signal(r->d->loop, 0);
        }
    }

    // A sink's volume: the one kept for the default sink, else asked for (one round trip).
    std::optional<pa_cvolume> sinkVolumeOf(const QByteArray& name) {
        if (ready && sinkVolume && name == sinkName.toUtf8())
            return sinkVolume;
        SinkVolume r{this};
        const bool answered = request(r.done, [&] {
            return pa_context_get_sink_info_by_name(context, name.constData(), &Impl::onSinkInfo,
                                                    &r);
        });
        if (!answered || !r.found)
            return std::nullopt;
        return r.volume;
    }

    struct Ack {
        Impl* d;
        bool done = false;
        bool success = false;
    };

    static void onAck(pa_context*, int success, void* p) {
        auto* r = static_cast<Ack*>(p);
        r->success = success != 0;
        r->done = true;
        pa_threaded_mainloop_signal(r->d->loop, 0);
    }
};

PulseVolumeControl::PulseVolumeControl(QObject* parent) : QObject(parent), d(new Impl) {
    d->owner = this;
    d->loop = pa_threaded_mainloop_new();
    d->api = pa_threaded_mainloop_get_api(d->loop);
    pa_threaded_mainloop_start(d->loop);
    pa_threaded_mainloop_lock(d->loop);
    d->connect();
    // Give the first connection a bounded moment, so start-up knows whether there is a server.
    d->waitUntil([this] { return d->everReported; });
    pa_threaded_mainloop_unlock(d->loop);
}

PulseVolumeControl::~PulseVolumeControl() {
    pa_threaded_mainloop_lock(d->loop);
    if (d->retry)
        d->api->time_free(d->retry);
    d->retry = nullptr;
    d->dropContext();
    pa_threaded_mainloop_unlock(d->loop);
    pa_threaded_mainloop_stop(d->loop);
    pa_threaded_mainloop_free(d->loop);
}

bool PulseVolumeControl::isConnected() const {
    pa_threaded_mainloop_lock(d->loop);
    const bool ready = d->ready;
    pa_threaded_mainloop_unlock(d->loop);
    return ready;
}

// Reading and setting act only on an output known by name. A server that has just come back may
// have a sink it has not named the default yet (PipeWire's, until WirePlumber does): a level set
// there through "@DEFAULT_SINK@" would be read back as the volume from before once the output
// is named, and the user's own volume lost. The switch runs again when it is named.
std::optional<QString> PulseVolumeControl::readOutputVolume() {
    pa_threaded_mainloop_lock(d->loop);
    d->renewIfDue();
    d->awaitFreshView();
    const auto volume =
        d->sinkName.isEmpty() ? std::nullopt : d->sinkVolumeOf(d->sinkName.toUtf8());
    pa_threaded_mainloop_unlock(d->loop);
    if (!volume)
        return std::nullopt;
    const quint64 loudest = pa_cvolume_max(&*volume);
    return QString::number((loudest * 100 + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM);
}

bool PulseVolumeControl::setOutputVolume(int percent) {
    return setOutputVolume(percent, QString());
}

bool PulseVolumeControl::setOutputVolume(int percent, const QString& output) {
    const auto target =
        pa_volume_t((quint64(std::clamp(percent, 0, kMaxPercent)) * PA_VOLUME_NORM + 50) / 100);
    bool set = false;
    pa_threaded_mainloop_lock(d->loop);
    d->renewIfDue();
    d->awaitFreshView();
    const QByteArray name = (output.isEmpty() ? d->sinkName : output).toUtf8();
    if (auto volume = name.isEmpty() ? std::nullopt : d->sinkVolumeOf(name)) {
        // Scaling keeps the ratio between channels; a silent sink is set evenly.
        if (pa_cvolume_max(&*volume) == PA_VOLUME_MUTED)
            pa_cvolume_set(&*volume, volume->channels, target);
        else
            pa_cvolume_scale(&*volume, target);
        Impl::Ack ack{d.get()};
        set = d->request(ack.done, [&] {
            return pa_context_set_sink_volume_by_name(d->context, name.constData(), &*volume,
                                                      &Impl::onAck, &ack);
        }) && ack.success;
        // Known at once: a capture right after this must not read the volume from before.
        if (set && name == d->sinkName.toUtf8())
            d->sinkVolume = *volume;
    }
    pa_threaded_mainloop_unlock(d->loop);
    qCDebug(lcAudio, "set \"%s\" to %d %%: %s", name.constData(), percent, set ? "done" : "failed");
    return set;
}

QString PulseVolumeControl::currentOutput() {
    pa_threaded_mainloop_lock(d->loop);
    const QString name = d->sinkName;
    pa_threaded_mainloop_unlock(d->loop);
    return name;
}

void PulseVolumeControl::setEvents(Events events) {
    events_ = std::move(events);
}

void PulseVolumeControl::onOutputChanged() {
    if (events_.outputChanged)
        events_.outputChanged();
}

int PulseVolumeControl::maxPercent() const {
    return kMaxPercent;
}

void PulseVolumeControl::onConnectionChanged(bool connected) {
    if (connected && lost_ && events_.reconnected)
        events_.reconnected(); // what was asked meanwhile did not happen
    lost_ = !connected;
    if (!connected && !outageReported_) {
        outageReported_ = true;
        qCWarning(
            lcAudio,
            "no connection to the audio server; the volume cannot be read or set until it is back");
    } else if (connected && outageReported_) {
        outageReported_ = false;
        qCInfo(lcAudio, "connected to the audio server again");
    }
    Q_EMIT connectionChanged(connected);
}

} // namespace vellora
