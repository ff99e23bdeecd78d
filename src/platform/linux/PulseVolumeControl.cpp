#include "PulseVolumeControl.h"

#include "core/Diagnostics.h"
#include "platform/Backoff.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace vellora {

namespace {
constexpr pa_usec_t kCallBound = 1000 * 1000; // every call waits at most one second
const char* const kDefaultSink = "@DEFAULT_SINK@";
// The largest percent the server takes. A restore puts back a volume this server reported, which
// it never holds above PA_VOLUME_MAX; a lower bound such as PA_VOLUME_UI_MAX (153 %) would lose a
// volume another tool had set higher. Table levels stay within 100 before they get here.
constexpr int kMaxPercent = int(quint64(PA_VOLUME_MAX) * 100 / PA_VOLUME_NORM);
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
    Backoff backoff;
    bool ready = false;
    bool everReported = false;

    // --- everything below runs with the loop locked (or on the loop thread) ---

    void connect() {
        context = pa_context_new(api, "Vellora");
        pa_context_set_state_callback(context, &Impl::onState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            lost();
    }

    void dropContext() {
        if (!context)
            return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }

    void report(bool connected) {
        if (everReported && connected == ready)
            return;
        everReported = true;
        ready = connected;
        QMetaObject::invokeMethod(
            owner, [o = owner, connected] { o->onConnectionChanged(connected); },
            Qt::QueuedConnection);
    }

    void lost() {
        dropContext();
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

    static void onState(pa_context* c, void* self) {
        auto* d = static_cast<Impl*>(self);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            d->backoff.reset();
            d->report(true);
            pa_threaded_mainloop_signal(d->loop, 0);
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            d->lost();
            break;
        default:
            break;
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
        waitUntil([&] { return done || !ready; });
        if (!done)
            pa_operation_cancel(op);
        pa_operation_unref(op);
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

    std::optional<pa_cvolume> defaultSinkVolume() {
        SinkVolume r{this};
        const bool answered = request(r.done, [&] {
            return pa_context_get_sink_info_by_name(context, kDefaultSink, &Impl::onSinkInfo, &r);
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

std::optional<QString> PulseVolumeControl::readOutputVolume() {
    pa_threaded_mainloop_lock(d->loop);
    const auto volume = d->defaultSinkVolume();
    pa_threaded_mainloop_unlock(d->loop);
    if (!volume)
        return std::nullopt;
    const quint64 loudest = pa_cvolume_max(&*volume);
    return QString::number((loudest * 100 + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM);
}

bool PulseVolumeControl::setOutputVolume(int percent) {
    const auto target =
        pa_volume_t((quint64(std::clamp(percent, 0, kMaxPercent)) * PA_VOLUME_NORM + 50) / 100);
    bool set = false;
    pa_threaded_mainloop_lock(d->loop);
    if (auto volume = d->defaultSinkVolume()) {
        // Scaling keeps the ratio between channels; a silent sink is set evenly.
        if (pa_cvolume_max(&*volume) == PA_VOLUME_MUTED)
            pa_cvolume_set(&*volume, volume->channels, target);
        else
            pa_cvolume_scale(&*volume, target);
        Impl::Ack ack{d.get()};
        set = d->request(ack.done, [&] {
            return pa_context_set_sink_volume_by_name(d->context, kDefaultSink, &*volume,
                                                      &Impl::onAck, &ack);
        }) && ack.success;
    }
    pa_threaded_mainloop_unlock(d->loop);
    return set;
}

int PulseVolumeControl::maxPercent() const {
    return kMaxPercent;
}

void PulseVolumeControl::onConnectionChanged(bool connected) {
    if (!connected && !outageReported_) {
        outageReported_ = true;
        diag(QStringLiteral("audio: no connection to the audio server; the volume cannot be "
                            "read or set until it is back"));
    } else if (connected && outageReported_) {
        outageReported_ = false;
        diag(QStringLiteral("audio: connected to the audio server again"));
    }
    emit connectionChanged(connected);
}

} // namespace vellora
