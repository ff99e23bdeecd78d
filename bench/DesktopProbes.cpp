#include "DesktopProbes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <pulse/pulseaudio.h>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace bench {

double percentile(std::vector<double> values, double q) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = size_t(std::ceil(q * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

// ---- the audio server ----

namespace {
int toPercent(const pa_cvolume& v) {
    return int(std::lround(double(pa_cvolume_max(&v)) * 100.0 / PA_VOLUME_NORM));
}

// What the callback of one request reports; the caller waits (bounded) for done.
struct Request {
    pa_threaded_mainloop* loop;
    bool done = false;
    bool ok = false;
    int percent = -1;
    int channels = 0;
    Clock::time_point at{}; // when the answer arrived
};
} // namespace

struct PulseCallbacks {
    static void onState(pa_context* c, void* self) {
        auto* p = static_cast<PulseProbe*>(self);
        const auto state = pa_context_get_state(c);
        p->ready_ = state == PA_CONTEXT_READY;
        if (state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state))
            pa_threaded_mainloop_signal(p->loop_, 0);
    }

    // On the loop's thread: notes when a sink change arrived, then asks for the sink's volume.
    static void onEvent(pa_context* c, pa_subscription_event_type_t type, uint32_t index,
                        void* self) {
        if ((type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_CHANGE)
            return;
        struct Pending {
            PulseProbe* probe;
            PulseProbe::Change change;
        };
        auto* pending = new Pending{static_cast<PulseProbe*>(self), {Clock::now(), -1}};
        pa_operation* op = pa_context_get_sink_info_by_index(
            c, index,
            [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                auto* p = static_cast<Pending*>(data);
                if (!eol && info) {
                    p->change.percent = toPercent(info->volume);
                    return;
                }
                {
                    std::lock_guard lock(p->probe->mutex_);
                    p->probe->changes_.push_back(p->change);
                }
                p->probe->changed_.notify_all();
                delete p;
            },
            pending);
        if (op)
            pa_operation_unref(op);
        else
            delete pending;
    }
};

PulseProbe::PulseProbe(bool subscribe) {
    loop_ = pa_threaded_mainloop_new();
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "vellora-bench");
    pa_context_set_state_callback(context_, &PulseCallbacks::onState, this);
    pa_threaded_mainloop_lock(loop_);
    pa_threaded_mainloop_start(loop_);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0)
        waitFor(ready_, std::chrono::seconds(5));
    if (ready_) {
        Request r{loop_};
        finish(pa_context_get_sink_info_by_name(
                   context_, "@DEFAULT_SINK@",
                   [](pa_context*, const pa_sink_info* info, int eol, void* self) {
                       auto* request = static_cast<Request*>(self);
                       if (!eol && info)
                           request->channels = info->volume.channels;
                       request->done = request->done || eol;
                       pa_threaded_mainloop_signal(request->loop, 0);
                   },
                   &r),
               r.done);
        channels_ = r.channels > 0 ? r.channels : channels_;
    }
    if (ready_ && subscribe) {
        pa_context_set_subscribe_callback(context_, &PulseCallbacks::onEvent, this);
        pa_operation_unref(
            pa_context_subscribe(context_, PA_SUBSCRIPTION_MASK_SINK, nullptr, nullptr));
    }
    pa_threaded_mainloop_unlock(loop_);
}

PulseProbe::~PulseProbe() {
    pa_threaded_mainloop_lock(loop_);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

// With the loop locked: waits until done is set by a callback, at most the bound.
bool PulseProbe::waitFor(bool& done, std::chrono::milliseconds bound) {
    struct Timeout {
        pa_threaded_mainloop* loop;
        bool expired = false;
    } timeout{loop_};
    pa_time_event* timer = pa_context_rttime_new(
        context_, pa_rtclock_now() + pa_usec_t(bound.count()) * 1000,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* t) {
            auto* to = static_cast<Timeout*>(t);
            to->expired = true;
            pa_threaded_mainloop_signal(to->loop, 0);
        },
        &timeout);
    while (!done && !timeout.expired && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
        pa_threaded_mainloop_wait(loop_);
    if (timer)
        pa_threaded_mainloop_get_api(loop_)->time_free(timer);
    return done;
}

// With the loop locked: waits for a request's answer; one that is late is cancelled, so its
// callback never reaches what the caller is about to drop.
bool PulseProbe::finish(pa_operation* op, bool& done) {
    if (!op)
        return false;
    waitFor(done, std::chrono::seconds(1));
    if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_operation_cancel(op);
    pa_operation_unref(op);
    return done;
}

std::optional<double> PulseProbe::setPercent(int percent) {
    if (!ready_)
        return std::nullopt;
    pa_cvolume volume;
    pa_cvolume_set(&volume, unsigned(channels_),
                   pa_volume_t(std::lround(percent * double(PA_VOLUME_NORM) / 100.0)));
    pa_threaded_mainloop_lock(loop_);
    Request r{loop_};
    const auto start = Clock::now();
    pa_operation* op = pa_context_set_sink_volume_by_name(
        context_, "@DEFAULT_SINK@", &volume,
        [](pa_context*, int success, void* self) {
            auto* request = static_cast<Request*>(self);
            request->at = Clock::now();
            request->ok = success;
            request->done = true;
            pa_threaded_mainloop_signal(request->loop, 0);
        },
        &r);
    const bool answered = finish(op, r.done);
    pa_threaded_mainloop_unlock(loop_);
    if (!answered || !r.ok)
        return std::nullopt;
    return msBetween(start, r.at);
}

int PulseProbe::percent() {
    if (!ready_)
        return -1;
    pa_threaded_mainloop_lock(loop_);
    Request r{loop_};
    pa_operation* op = pa_context_get_sink_info_by_name(
        context_, "@DEFAULT_SINK@",
        [](pa_context*, const pa_sink_info* info, int eol, void* self) {
            auto* request = static_cast<Request*>(self);
            if (!eol && info)
                request->percent = toPercent(info->volume);
            request->done = request->done || eol;
            pa_threaded_mainloop_signal(request->loop, 0);
        },
        &r);
    finish(op, r.done);
    pa_threaded_mainloop_unlock(loop_);
    return r.percent;
}

void PulseProbe::clearChanges() {
    std::lock_guard lock(mutex_);
    changes_.clear();
}

size_t PulseProbe::pendingChanges() {
    std::lock_guard lock(mutex_);
    return changes_.size();
}

std::optional<PulseProbe::Change> PulseProbe::latestChange() {
    std::lock_guard lock(mutex_);
    return changes_.empty() ? std::nullopt : std::optional(changes_.back());
}

std::optional<PulseProbe::Change> PulseProbe::waitForPercent(int percent,
                                                             std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!changes_.empty()) {
            const Change next = changes_.front();
            changes_.pop_front();
            if (next.percent == percent)
                return next;
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && changes_.empty())
            return std::nullopt;
    }
}

// ---- the window manager ----

namespace {
uint32_t atom(xcb_connection_t* c, const char* name) {
    auto* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const uint32_t a = reply ? reply->atom : 0;
    free(reply);
    return a;
}
} // namespace

XProbe::XProbe() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    c_ = c;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    activeAtom_ = atom(c, "_NET_ACTIVE_WINDOW");
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

XProbe::~XProbe() {
    if (c_)
        xcb_disconnect(c_);
}

uint32_t XProbe::makeWindow(const std::string& instance, const std::string& wmClass) {
    if (!c_)
        return 0;
    const uint32_t w = xcb_generate_id(c_);
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, 0, 0, 320, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &mask);
    const std::string cls = instance + '\0' + wmClass + '\0';
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(cls.size()), cls.data());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(wmClass.size()), wmClass.data());
    const uint32_t hints[9] = {1 /* InputHint */, 1 /* takes input */};
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9,
                        hints);
    xcb_map_window(c_, w);
    xcb_flush(c_);
    // The window manager maps it once it has framed it.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        poll(&p, 1, 50);
        while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
            const bool mapped = (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                reinterpret_cast<xcb_map_notify_event_t*>(e)->window == w;
            free(e);
            if (mapped)
                return w;
        }
    }
    return 0;
}

void XProbe::requestActivation(uint32_t window, bool queued) {
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = window;
    m.type = activeAtom_;
    m.data.data32[0] = 2; // from a pager: the window manager honours it
    m.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&m));
    if (!queued)
        xcb_flush(c_);
}

void XProbe::flush() {
    xcb_flush(c_);
}

uint32_t XProbe::activeWindow() {
    auto* reply = xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, root_, activeAtom_, XCB_ATOM_WINDOW, 0, 1), nullptr);
    uint32_t w = 0;
    if (reply && xcb_get_property_value_length(reply) >= 4)
        memcpy(&w, xcb_get_property_value(reply), 4);
    free(reply);
    return w;
}

std::optional<Clock::time_point> XProbe::drainActiveChanges(std::chrono::milliseconds bound) {
    std::optional<Clock::time_point> last;
    xcb_generic_event_t* e = xcb_poll_for_event(c_);
    if (!e && bound.count() > 0) {
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        poll(&p, 1, int(bound.count()));
        e = xcb_poll_for_event(c_);
    }
    for (; e; e = xcb_poll_for_event(c_)) {
        const auto at = Clock::now();
        if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
            reinterpret_cast<xcb_property_notify_event_t*>(e)->atom == activeAtom_)
            last = at;
        free(e);
    }
    return last;
}

std::optional<Clock::time_point> XProbe::waitUntilActive(uint32_t window,
                                                         std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    for (;;) {
        // The moment a change arrived is taken before reading the property back. That read may
        // bring events along into the connection's queue, where polling the socket would not
        // see them: they are taken before sleeping again.
        const auto changed = drainActiveChanges();
        if (changed && activeWindow() == window)
            return changed;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        if (changed)
            continue;
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        poll(&p, 1, int(left.count()));
    }
}

// ---- a process's cost ----

namespace {
std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

long long field(const std::string& status, const std::string& name) {
    const auto at = status.find(name + ':');
    return at == std::string::npos ? 0 : std::atoll(status.c_str() + at + name.size() + 1);
}
} // namespace

ProcSample ProcSample::of(long long pid) {
    ProcSample s;
    const std::string dir = "/proc/" + std::to_string(pid);
    // utime and stime are the 14th and 15th fields; the name before them may hold spaces.
    const std::string stat = slurp(dir + "/stat");
    if (const auto close = stat.rfind(')'); close != std::string::npos) {
        std::istringstream rest(stat.substr(close + 2));
        std::string skip;
        for (int k = 3; k < 14; ++k)
            rest >> skip;
        long long utime = 0, stime = 0;
        rest >> utime >> stime;
        s.cpuMs = double(utime + stime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
    }
    s.rssMb = double(field(slurp(dir + "/status"), "VmRSS")) / 1024.0;
    if (DIR* tasks = opendir((dir + "/task").c_str())) {
        while (dirent* t = readdir(tasks)) {
            if (t->d_name[0] == '.')
                continue;
            const std::string status = slurp(dir + "/task/" + t->d_name + "/status");
            const long long switches = field(status, "voluntary_ctxt_switches") +
                                       field(status, "nonvoluntary_ctxt_switches");
            s.wakeUps += switches;
            if (const auto name = status.find("Name:\t"); name != std::string::npos)
                s.wakeUpsByThread[status.substr(name + 6, status.find('\n', name) - name - 6)] +=
                    switches;
        }
        closedir(tasks);
    }
    return s;
}

std::optional<Clock::time_point> waitUntilIdle(long long pid, std::chrono::milliseconds quiet,
                                               std::chrono::milliseconds bound) {
    const auto start = Clock::now();
    auto lastBusy = start;
    long long seen = ProcSample::of(pid).wakeUps;
    for (auto now = start; now - start < bound; now = Clock::now()) {
        if (now - lastBusy >= quiet)
            return lastBusy;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const long long count = ProcSample::of(pid).wakeUps;
        if (count != seen) {
            seen = count;
            lastBusy = Clock::now();
        }
    }
    return std::nullopt;
}

} // namespace bench
