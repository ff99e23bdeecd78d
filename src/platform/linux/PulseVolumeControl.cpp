#include "PulseVolumeControl_p.h"

#include "base/HandOver.h"
#include "base/Logging.h"

#include <algorithm>
#include <utility>

namespace vellora {

namespace {
// The largest percent the server takes. A restore puts back a volume this server reported, which
// it never holds above PA_VOLUME_MAX; a lower bound such as PA_VOLUME_UI_MAX (153 %) would lose a
// volume another tool had set higher. Table levels stay within 100 before they get here.
constexpr int kMaxPercent = int(quint64(PA_VOLUME_MAX) * 100 / PA_VOLUME_NORM);
} // namespace

timeval PulseVolumeControl::Impl::after(pa_usec_t usec) {
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, usec);
    return when;
}

void PulseVolumeControl::Impl::connect() {
    ++connections;
    context = pa_context_new(api, "Vellora");
    pa_context_set_state_callback(context, &Impl::onState, this);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        lost();
}

void PulseVolumeControl::Impl::dropContext() {
    sinkName.clear();
    sinkIndex = PA_INVALID_INDEX;
    sinkVolume.reset();
    outputMoved = false;
    resyncOwed = false;
    stalled = false; // a new connection is a resync anyway
    reask.stop();
    renew.stop();
    forget(fresh);
    forget(context);
}

void PulseVolumeControl::Impl::forget(pa_context*& c) {
    if (!c)
        return;
    pa_context_set_state_callback(c, nullptr, nullptr);
    pa_context_disconnect(c);
    pa_context_unref(c);
    c = nullptr;
}

void PulseVolumeControl::Impl::report(bool connected) {
    if (everReported && connected == ready)
        return;
    everReported = true;
    ready = connected;
    handover::post(owner, [o = owner, connected] { o->onConnectionChanged(connected); });
}

void PulseVolumeControl::Impl::lost() {
    dropContext();
    reasked = 0;
    renewals = 0;
    report(false);
    scheduleRetry();
    pa_threaded_mainloop_signal(loop, 0);
}

void PulseVolumeControl::Impl::scheduleRetry() {
    if (!retry.active())
        retry.start(pa_usec_t(backoff.next().count()) * PA_USEC_PER_MSEC);
}

void PulseVolumeControl::Impl::onState(pa_context* c, void* self) {
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

void PulseVolumeControl::Impl::onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* p) {
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

std::optional<pa_cvolume> PulseVolumeControl::Impl::sinkVolumeOf(const QByteArray& name) {
    if (ready && sinkVolume && name == sinkName.toUtf8())
        return sinkVolume;
    SinkVolume r{this};
    const bool answered = request(r.done, [&] {
        return pa_context_get_sink_info_by_name(context, name.constData(), &Impl::onSinkInfo, &r);
    });
    if (!answered || !r.found)
        return std::nullopt;
    return r.volume;
}

void PulseVolumeControl::Impl::onAck(pa_context*, int success, void* p) {
    auto* r = static_cast<Ack*>(p);
    r->success = success != 0;
    r->done = true;
    pa_threaded_mainloop_signal(r->d->loop, 0);
}

PulseVolumeControl::PulseVolumeControl(QObject* parent) : VolumeControl(parent), d(new Impl) {
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
    d->retry.stop();
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
std::optional<VolumeReading> PulseVolumeControl::readOutputVolume() {
    pa_threaded_mainloop_lock(d->loop);
    d->renewIfDue();
    d->awaitFreshView();
    const auto volume =
        d->sinkName.isEmpty() ? std::nullopt : d->sinkVolumeOf(d->sinkName.toUtf8());
    pa_threaded_mainloop_unlock(d->loop);
    if (!volume)
        return std::nullopt;
    const int percent = Impl::percentOf(*volume);
    return VolumeReading{percent, QString::number(percent)};
}

int PulseVolumeControl::Impl::percentOf(const pa_cvolume& volume) {
    const quint64 loudest = pa_cvolume_max(&volume);
    return int((loudest * 100 + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM);
}

bool PulseVolumeControl::setOutputVolume(int percent, const OutputId& output) {
    const auto target =
        pa_volume_t((quint64(std::clamp(percent, 0, kMaxPercent)) * PA_VOLUME_NORM + 50) / 100);
    bool set = false;
    pa_threaded_mainloop_lock(d->loop);
    d->renewIfDue();
    d->awaitFreshView();
    const QByteArray name = (output == kCurrentOutput ? d->sinkName : output).toUtf8();
    if (auto volume = name.isEmpty() ? std::nullopt : d->sinkVolumeOf(name)) {
        // Scaling keeps the ratio between channels; a silent sink is set evenly.
        if (pa_cvolume_max(&*volume) == PA_VOLUME_MUTED)
            pa_cvolume_set(&*volume, volume->channels, target);
        else
            pa_cvolume_scale(&*volume, target);
        Impl::Ack ack{d.get()};
        const bool onDefault = name == d->sinkName.toUtf8();
        if (onDefault) { // its news may come before the answer; a set that changes nothing has none
            const bool changes = !d->sinkVolume || !pa_cvolume_equal(&*d->sinkVolume, &*volume);
            d->ownPercent = changes ? std::optional(Impl::percentOf(*volume)) : std::nullopt;
            d->ownPercentSet = false;
        }
        set = d->request(ack.done, [&] {
            return pa_context_set_sink_volume_by_name(d->context, name.constData(), &*volume,
                                                      &Impl::onAck, &ack);
        }) && ack.success;
        if (!set)
            d->ownPercent.reset();
        d->ownPercentSet = d->ownPercent.has_value();
        // Known at once: a capture right after this must not read the volume from before.
        if (set && onDefault)
            d->sinkVolume = *volume;
    }
    pa_threaded_mainloop_unlock(d->loop);
    qCDebug(lcAudio, "set \"%s\" to %d %%: %s", name.constData(), percent, set ? "done" : "failed");
    return set;
}

OutputId PulseVolumeControl::currentOutput() {
    pa_threaded_mainloop_lock(d->loop);
    const OutputId name = d->sinkName;
    pa_threaded_mainloop_unlock(d->loop);
    return name;
}

QString PulseVolumeControl::currentOutputDescription() {
    pa_threaded_mainloop_lock(d->loop);
    const QString description = d->sinkDescription;
    pa_threaded_mainloop_unlock(d->loop);
    return description;
}

int PulseVolumeControl::maxPercent() const {
    return kMaxPercent;
}

void PulseVolumeControl::onConnectionChanged(bool connected) {
    if (connected && lost_)
        Q_EMIT resyncNeeded(); // what was asked meanwhile did not happen
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
