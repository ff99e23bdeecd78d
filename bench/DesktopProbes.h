// What the desktop benchmarks watch and drive from outside the program: the audio server (a
// libpulse client of their own), the window manager (an X client of their own with windows of
// the fixture applications) and a process's cost (read from /proc).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct pa_context;
struct pa_operation;
struct pa_threaded_mainloop;
struct xcb_connection_t;

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The nearest-rank percentile (q from 0 to 1) of some figures; 0 for none.
double percentile(std::vector<double> values, double q);

// A libpulse client on $PULSE_SERVER with a threaded main loop, as the program uses one.
class PulseProbe {
public:
    // Connects; with subscribe, it also records every change of a sink as it is announced.
    explicit PulseProbe(bool subscribe);
    ~PulseProbe();
    PulseProbe(const PulseProbe&) = delete;
    PulseProbe& operator=(const PulseProbe&) = delete;

    bool connected() const { return ready_; }
    // Sets the default sink's volume (all channels) and waits for the server's answer: the
    // time from the request to the answer's arrival in milliseconds, or nothing when it failed
    // or took over a second.
    std::optional<double> setPercent(int percent);
    // The default sink's volume in percent (its loudest channel), or -1.
    int percent();

    // A sink change as announced: when it arrived, and the sink's volume then.
    struct Change {
        Clock::time_point at;
        int percent = -1;
    };
    // Forgets the changes announced so far.
    void clearChanges();
    // Waits for an announced change to the given volume; the changes before it are dropped.
    std::optional<Change> waitForPercent(int percent, std::chrono::milliseconds bound);
    // The number of changes announced and not yet taken, and the latest of them.
    size_t pendingChanges();
    std::optional<Change> latestChange();

private:
    friend struct PulseCallbacks;
    bool waitFor(bool& done, std::chrono::milliseconds bound);
    bool finish(pa_operation* op, bool& done);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool ready_ = false;
    int channels_ = 2;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Change> changes_;
};

// An X client of the benchmark: makes windows that name a fixture application through their
// WM_CLASS, asks the window manager to activate them, and sees it change _NET_ACTIVE_WINDOW.
class XProbe {
public:
    XProbe();
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    bool connected() const { return c_ != nullptr; }
    // A mapped top-level window with this WM_CLASS (instance and class); 0 on failure.
    uint32_t makeWindow(const std::string& instance, const std::string& wmClass);
    // Asks the window manager to activate a window, as a pager does; sent at once unless
    // queued, in which case flush() sends what was queued.
    void requestActivation(uint32_t window, bool queued = false);
    void flush();
    // Waits until the window manager names this window active: when the change that did so
    // arrived, or nothing after the bound.
    std::optional<Clock::time_point> waitUntilActive(uint32_t window,
                                                     std::chrono::milliseconds bound);
    // Takes the events that arrived: when the active window last changed, if it did. With a
    // bound, first waits that long at most for one to arrive.
    std::optional<Clock::time_point> drainActiveChanges(std::chrono::milliseconds bound = {});
    uint32_t activeWindow();

private:
    xcb_connection_t* c_ = nullptr;
    uint32_t root_ = 0;
    uint32_t activeAtom_ = 0;
};

// A process's cost so far, from /proc.
struct ProcSample {
    double cpuMs = 0;      // user + system time of all its threads
    long long wakeUps = 0; // voluntary + involuntary context switches of all its threads
    std::map<std::string, long long> wakeUpsByThread; // the same by thread name
    double rssMb = 0;                                 // resident memory
    static ProcSample of(long long pid);
};

// Waits until the process has not been switched to for the quiet period: when it last was
// (the start when it never was), or nothing when it stayed busy past the bound.
std::optional<Clock::time_point> waitUntilIdle(long long pid, std::chrono::milliseconds quiet,
                                               std::chrono::milliseconds bound);

} // namespace bench
