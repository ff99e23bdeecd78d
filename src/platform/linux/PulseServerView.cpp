#include "PulseVolumeControl_p.h"

#include "base/HandOver.h"
#include "base/Logging.h"

#include <cstdlib>
#include <utility>

namespace vellora {

namespace {
// What PipeWire's server calls the default output while it has none.
constexpr char kNoDefaultSink[] = "@DEFAULT_SINK@";
} // namespace

// --- the subscription: answers arrive on the loop's thread, nobody waits for them ---

void PulseVolumeControl::Impl::watch() {
    pa_context_set_subscribe_callback(context, &Impl::onEvent, this);
    const auto mask =
        pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
    if (pa_operation* op = pa_context_subscribe(context, mask, nullptr, nullptr))
        pa_operation_unref(op);
    refreshServer();
}

void PulseVolumeControl::Impl::refreshServer() {
    if (pa_operation* op = pa_context_get_server_info(context, &Impl::onServerInfo, this))
        pa_operation_unref(op);
}

bool PulseVolumeControl::Impl::refreshSink() {
    if (sinkName.isEmpty())
        return false;
    const QByteArray name = sinkName.toUtf8();
    pa_operation* op =
        pa_context_get_sink_info_by_name(context, name.constData(), &Impl::onDefaultSink, this);
    if (op)
        pa_operation_unref(op);
    return op != nullptr;
}

void PulseVolumeControl::Impl::settled() {
    settledOn = connections;
    report(true);
    pa_threaded_mainloop_signal(loop, 0);
}

void PulseVolumeControl::Impl::onServerInfo(pa_context*, const pa_server_info* info, void* self) {
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
        d->ownPercent.reset();
        d->sinkDescription.clear();
        d->sinkIndex = PA_INVALID_INDEX;
        d->sinkVolume.reset();
    }
    if (!d->refreshSink())
        d->settled(); // no default sink
}

void PulseVolumeControl::Impl::onDefaultSink(pa_context*, const pa_sink_info* info, int eol,
                                             void* self) {
    auto* d = static_cast<Impl*>(self);
    if (info && QString::fromUtf8(info->name) == d->sinkName) {
        // The default output found only after the connection counted (a server back without
        // one, as PipeWire's is until its session manager names it, or with one not listed
        // yet): a switch made meanwhile found nothing to act on and runs again.
        d->outputMoved = d->outputMoved || (d->ready && !d->sinkVolume);
        // A change of the volume on the same output and port that is not the news of this
        // control's own set (a plugged-in jack brings its port's own volume along) was made by
        // someone else. A device may answer a set a percent off.
        const QByteArray port =
            info->active_port && info->active_port->name ? info->active_port->name : "";
        const int percent = Impl::percentOf(info->volume);
        const bool echo = d->ownPercent && std::abs(*d->ownPercent - percent) <= 1;
        const bool byHand = d->sinkVolume && d->sinkIndex == info->index && port == d->sinkPort &&
                            Impl::percentOf(*d->sinkVolume) != percent && !echo;
        if (echo || d->ownPercentSet) // the news of the set came, or will not
            d->ownPercent.reset();
        d->sinkIndex = info->index;
        d->sinkPort = port;
        d->sinkDescription = QString::fromUtf8(info->description);
        d->sinkVolume = info->volume;
        if ((info->flags & PA_SINK_FLAT_VOLUME) && !std::exchange(d->flatVolumesTold, true)) {
            const QString shown = d->sinkDescription.isEmpty() ? d->sinkName : d->sinkDescription;
            qCDebug(lcAudio, "the volume of %s follows its loudest stream", info->name);
            handover::post(d->owner, [o = d->owner, shown] { Q_EMIT o->flatVolumesFound(shown); });
        }
        if (byHand)
            handover::post(d->owner,
                           [o = d->owner, percent] { Q_EMIT o->volumeChangedByHand(percent); });
        qCDebug(lcAudio, "the default output %s is at %d %%", info->name, percent);
    }
    if (eol < 0) // no such sink (any more): what was kept of it is no answer
        d->sinkVolume.reset();
    if (eol)
        d->settled();
    if (eol && (d->outputMoved || d->resyncOwed)) {
        // One run of the switch answers both.
        const bool moved = std::exchange(d->outputMoved, false);
        d->resyncOwed = false;
        handover::post(d->owner, [o = d->owner, moved] {
            if (moved)
                Q_EMIT o->currentOutputChanged();
            else
                Q_EMIT o->resyncNeeded();
        });
    }
}

void PulseVolumeControl::Impl::onEvent(pa_context*, pa_subscription_event_type_t t, uint32_t index,
                                       void* self) {
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
            d->resyncOwed = d->resyncOwed || std::exchange(d->stalled, false);
            d->refreshSink();
        }
    }
}

// --- a stale view renewed ---

void PulseVolumeControl::Impl::reaskLater() {
    if (reask.active() || reasked >= kReaskLimit)
        return;
    reask.start(pa_usec_t(200 << reasked++) * PA_USEC_PER_MSEC);
}

void PulseVolumeControl::Impl::reaskNow() {
    if (!context || !sinkName.isEmpty())
        return;
    qCDebug(lcAudio, "no default output yet; asking again (%d)", reasked);
    if (reasked < kFreshViewAt)
        refreshServer();
    else
        openFresh();
}

void PulseVolumeControl::Impl::awaitFreshView() {
    if (fresh)
        waitUntil([this] { return !fresh && settledOn == connections; });
}

void PulseVolumeControl::Impl::renewIfDue(bool untilDue) {
    if (renewals >= int(std::size(kRenewAfterMs)) || renew.active())
        return;
    const pa_usec_t due = connectedAt + kRenewAfterMs[renewals] * PA_USEC_PER_MSEC;
    if (pa_rtclock_now() >= due) {
        openFresh();
    } else if (untilDue) {
        renew.start(due - pa_rtclock_now());
    }
}

void PulseVolumeControl::Impl::openFresh() {
    if (!context || fresh)
        return;
    fresh = pa_context_new(api, "Vellora");
    pa_context_set_state_callback(fresh, &Impl::onFreshState, this);
    if (pa_context_connect(fresh, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        forget(fresh);
}

void PulseVolumeControl::Impl::onFreshState(pa_context* c, void* self) {
    auto* d = static_cast<Impl*>(self);
    const pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
        d->forget(d->fresh); // the next read or set may try again
    d->takeFreshWhenIdle();
    pa_threaded_mainloop_signal(d->loop, 0); // a read or set may wait for it
}

void PulseVolumeControl::Impl::takeFreshWhenIdle() {
    if (!fresh || pa_context_get_state(fresh) != PA_CONTEXT_READY || waiting > 0)
        return;
    qCDebug(lcAudio, "a fresh connection takes the old one's place");
    ++renewals;
    forget(context);
    context = std::exchange(fresh, nullptr);
    ++connections;
    resyncOwed = resyncOwed || std::exchange(stalled, false);
    pa_context_set_state_callback(context, &Impl::onState, this);
    watch();
}

} // namespace vellora
