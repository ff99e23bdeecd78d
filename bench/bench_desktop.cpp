// The real program in the throwaway desktop, measured from outside: switch latency (with the
// native audio client and with a script interpreter), the bare round trip of the audio server
// under it, a burst of activations, its resident memory and its cost while idle.
//   with-desktop.sh bench_desktop --vellora PROGRAM --interpreter SCRIPT --out FILE.json
// Progress goes to standard error; the figures are merged into the JSON file.
#include "DesktopProbes.h"
#include "Results.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <memory>

using namespace bench;
using namespace std::chrono_literals;

namespace {

void say(const QString& line) {
    std::fprintf(stderr, "bench: %s\n", qPrintable(line));
}

double round2(double v) {
    return std::round(v * 100.0) / 100.0;
}

// The fixture applications the benchmark switches between, each with a window of its own:
// two with a stored level and one without (its volume is the one captured before).
struct Fixture {
    const char* instance;
    const char* wmClass;
    int level; // -1: none stored
    uint32_t window = 0;
};
constexpr int kCaptured = 50;

// The program, started with its diagnostics in a file, and stopped when this ends.
class Program {
public:
    Program(const QString& path, const QStringList& args, const QString& log)
        : path_(path), args_(args), log_(log) {}
    ~Program() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
    long long pid() const { return process_.processId(); }
    double startedRssMb = 0;

    // Starts it and brings it to a known state: the unconfigured application in front and the
    // volume to restore set, so the cycle alpha, beta, gamma changes the volume at every step.
    // What went wrong, or nothing.
    QString start(XProbe& x, PulseProbe& sink, const std::vector<Fixture>& apps) {
        process_.setStandardOutputFile(log_);
        process_.setStandardErrorFile(log_ + ".err");
        process_.start(path_, args_);
        if (!process_.waitForStarted(5000) || !waitUntilStarted())
            return "the program did not start; see " + log_;
        QThread::sleep(2); // the menu's first build and the first paint
        startedRssMb = ProcSample::of(pid()).rssMb;
        for (const Fixture& app : apps) {
            if (x.activeWindow() == app.window)
                continue; // in front already, as the last burst leaves the first
            x.requestActivation(app.window);
            if (!x.waitUntilActive(app.window, 2s))
                return QString("the window manager did not activate %1").arg(app.wmClass);
            waitUntilIdle(pid(), 100ms, 5s);
        }
        QThread::msleep(300);
        if (!sink.setPercent(kCaptured))
            return "the audio server did not take the volume";
        if (!waitUntilIdle(pid(), 100ms, 5s))
            return "the program did not come to rest";
        return {};
    }

private:
    // Start-up has refreshed the list twice: once for the first showing, once at the end.
    bool waitUntilStarted() {
        for (int n = 0; n < 300 && process_.state() == QProcess::Running; ++n) {
            QFile f(log_);
            if (f.open(QIODevice::ReadOnly) &&
                QString(f.readAll()).split('\n').count("update") >= 2)
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    QProcess process_;
    QString path_;
    QStringList args_;
    QString log_;
};

struct Stats {
    std::vector<double> ms;
    int missed = 0;
    // Announced before this benchmark saw the window manager's change: it was kept off the CPU
    // longer than the program took for the whole switch, so the figure says nothing.
    int observerLate = 0;
    void into(QJsonObject& out, const QString& prefix) const {
        out[prefix + "_observer_late"] = observerLate;
        out[prefix + "_min_ms"] = round2(percentile(ms, 0.0));
        out[prefix + "_p50_ms"] = round2(percentile(ms, 0.50));
        out[prefix + "_p95_ms"] = round2(percentile(ms, 0.95));
        out[prefix + "_p99_ms"] = round2(percentile(ms, 0.99));
        out[prefix + "_max_ms"] = round2(percentile(ms, 1.0));
        out[prefix + "_count"] = int(ms.size());
        out[prefix + "_missed"] = missed;
    }
};

// The same applications as xterm windows, which redraw when they gain and lose the focus as real
// applications do: the program's questions to the X server then wait behind that drawing.
std::vector<Fixture> redrawingWindows(const std::vector<Fixture>& plain,
                                      std::vector<std::unique_ptr<QProcess>>& terminals) {
    std::vector<Fixture> out;
    for (const Fixture& f : plain) {
        const QString title = QStringLiteral("bench-") + f.wmClass;
        auto& term = terminals.emplace_back(std::make_unique<QProcess>());
        term->start("xterm", {"-name", f.instance, "-class", f.wmClass, "-title", title});
        QProcess search;
        search.start("xdotool", {"search", "--sync", "--name", "^" + title + "$"});
        search.waitForFinished(10000);
        const uint32_t window = search.readAllStandardOutput().split('\n').value(0).toUInt();
        if (!window)
            qFatal("no xterm window of %s", f.wmClass);
        out.push_back({f.instance, f.wmClass, f.level, window});
    }
    return out;
}

// From the window manager naming the window active to the audio server announcing the new
// volume to our own subscriber; the program is let come to rest before each activation.
Stats switchLatency(long long pid, XProbe& x, PulseProbe& sink, const std::vector<Fixture>& apps,
                    int activations) {
    Stats s;
    for (int k = 0; k < activations; ++k) {
        const Fixture& app = apps[size_t(k) % apps.size()];
        const int expected = app.level >= 0 ? app.level : kCaptured;
        waitUntilIdle(pid, 30ms, 2s);
        x.drainActiveChanges();
        sink.clearChanges();
        x.requestActivation(app.window);
        const auto active = x.waitUntilActive(app.window, 2s);
        const auto change = active ? sink.waitForPercent(expected, 3s) : std::nullopt;
        if (!change) {
            ++s.missed;
            say(active ? QString("activation %1 (%2): no volume %3 announced; the volume is %4")
                             .arg(k)
                             .arg(app.wmClass)
                             .arg(expected)
                             .arg(sink.percent())
                       : QString("activation %1 (%2): the window manager did not activate it")
                             .arg(k)
                             .arg(app.wmClass));
            continue;
        }
        if (const double ms = msBetween(*active, change->at); ms >= 0)
            s.ms.push_back(ms);
        else
            ++s.observerLate;
    }
    return s;
}

// Many activations sent as fast as the window manager takes them, the last one of the first
// application; then the program must come to rest with that application's volume.
void burst(long long pid, XProbe& x, PulseProbe& sink, const std::vector<Fixture>& apps, int count,
           QJsonObject& out) {
    waitUntilIdle(pid, 100ms, 5s);
    x.drainActiveChanges();
    sink.clearChanges();
    const auto start = Clock::now();
    for (int k = count - 1; k >= 0; --k)
        x.requestActivation(apps[size_t(k) % apps.size()].window, true);
    x.flush();
    const Fixture& last = apps.front();

    // Watch both the window manager's changes and the program's threads until all is quiet,
    // looking every millisecond or so: that is the resolution of the time to rest. The window
    // manager also rewrites the active window unchanged; only a new value counts as a change.
    auto lastChange = start, lastBusy = start;
    uint32_t active = x.activeWindow();
    long long seen = ProcSample::of(pid).wakeUps;
    for (auto now = Clock::now(); now - start < 60s; now = Clock::now()) {
        if (now - std::max(lastChange, lastBusy) >= 300ms && active == last.window)
            break;
        if (const auto changed = x.drainActiveChanges(1ms)) {
            if (const uint32_t window = x.activeWindow(); window != active)
                active = window, lastChange = *changed;
        }
        if (const long long wakeUps = ProcSample::of(pid).wakeUps; wakeUps != seen)
            seen = wakeUps, lastBusy = Clock::now();
    }
    const int expected = last.level >= 0 ? last.level : kCaptured;
    const int final = sink.percent();
    out["burst_activations"] = count;
    out["burst_wm_ms"] = round2(msBetween(start, lastChange));
    out["burst_settle_ms"] = round2(std::max(0.0, msBetween(lastChange, lastBusy)));
    out["burst_sink_changes"] = int(sink.pendingChanges());
    if (const auto volume = sink.latestChange())
        out["burst_last_volume_ms"] = round2(msBetween(lastChange, volume->at));
    out["burst_final_percent"] = final;
    out["burst_final_ok"] = final == expected && x.activeWindow() == last.window;
    say(QString("burst: %1 activations, final volume %2 (expected %3)")
            .arg(count)
            .arg(final)
            .arg(expected));
}

// The machine's load over the last minute: figures taken beside other work are not comparable.
double loadAverage() {
    QFile f("/proc/loadavg");
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').value(0).toDouble() : -1;
}

void idle(long long pid, int seconds, QJsonObject& out) {
    waitUntilIdle(pid, 500ms, 10s);
    const ProcSample before = ProcSample::of(pid);
    QThread::sleep(seconds);
    const ProcSample after = ProcSample::of(pid);
    out["idle_seconds"] = seconds;
    out["idle_wakeups_60s"] = double(after.wakeUps - before.wakeUps) * 60.0 / seconds;
    out["idle_cpu_ms"] = round2(after.cpuMs - before.cpuMs);
    out["idle_cpu_percent"] = round2((after.cpuMs - before.cpuMs) / (seconds * 10.0));
    out["rss_mb_after_use"] = round2(after.rssMb);
    QJsonObject byThread; // who woke, when anyone did
    for (const auto& [name, count] : after.wakeUpsByThread) {
        const auto was = before.wakeUpsByThread.find(name);
        const long long woke = count - (was == before.wakeUpsByThread.end() ? 0 : was->second);
        if (woke != 0)
            byThread[QString::fromStdString(name)] = woke;
    }
    out["idle_wakeups_by_thread"] = byThread;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOptions(
        {{"vellora", "The program to measure.", "path"},
         {"interpreter", "The volume script interpreter of the script path.", "path"},
         {"out", "The JSON file the figures are merged into.", "file"},
         {"activations", "Activations per switch-latency run.", "n", "300"},
         {"burst", "Activations of the burst.", "n", "1000"},
         {"idle", "Seconds of the idle measurement.", "s", "60"},
         {"paths", "Which volume paths to measure.", "native,script", "native,script"}});
    options.process(app);
    const QString program = options.value("vellora"), out = options.value("out");
    if (program.isEmpty() || out.isEmpty() || qEnvironmentVariableIsEmpty("VELLORA_DESKTOP_DIR"))
        qFatal("usage: with-desktop.sh bench_desktop --vellora PROGRAM --out FILE [...]");
    const int activations = options.value("activations").toInt();

    XProbe x;
    PulseProbe sink(true);
    if (!x.connected() || !sink.connected())
        qFatal("no X server or no audio server");
    std::vector<Fixture> apps{{"Alpha", "Alpha", 30}, {"Beta", "Beta", 70}, {"gamma", "gamma", -1}};
    for (Fixture& f : apps)
        if (!(f.window = x.makeWindow(f.instance, f.wmClass)))
            qFatal("the window manager did not map a window of %s", f.wmClass);

    // The levels, as the program stores them.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vellora";
    QDir().mkpath(config);
    QFile conf(config + "/Vellora.conf");
    if (!conf.open(QIODevice::WriteOnly) ||
        conf.write("[General]\nApps=, 30/*/*/*/*/Alpha, 70/*/*/*/*/Beta\n") <= 0)
        qFatal("cannot write the settings");
    conf.close();

    QJsonObject results;
    results["load_average_start"] = loadAverage();
    {
        // The floor: a bare client setting the volume, and nothing else on the server.
        PulseProbe bare(false);
        Stats floor;
        for (int k = 0; k < activations; ++k)
            if (const auto ms = bare.setPercent(k % 2 ? 40 : 60))
                floor.ms.push_back(*ms);
            else
                ++floor.missed;
        results["pulse_roundtrip_p50_ms"] = round2(percentile(floor.ms, 0.5));
        results["pulse_roundtrip_p99_ms"] = round2(percentile(floor.ms, 0.99));
        say(QString("bare round trip: p50 %1 ms").arg(percentile(floor.ms, 0.5)));
    }

    const QString logs = QFileInfo(out).absolutePath();
    const QStringList paths = options.value("paths").split(',');
    if (paths.contains("native")) {
        Program vellora(program, {}, logs + "/vellora-native.log");
        if (const QString fault = vellora.start(x, sink, apps); !fault.isEmpty())
            qFatal("native: %s", qPrintable(fault));
        results["rss_mb"] = round2(vellora.startedRssMb);
        switchLatency(vellora.pid(), x, sink, apps, activations).into(results, "switch_native");
        say("native switch done");
        std::vector<std::unique_ptr<QProcess>> terminals;
        switchLatency(vellora.pid(), x, sink, redrawingWindows(apps, terminals), activations)
            .into(results, "switch_redraw");
        say("native switch between redrawing windows done");
        for (auto& terminal : terminals) {
            terminal->terminate();
            terminal->waitForFinished(2000);
        }
        burst(vellora.pid(), x, sink, apps, options.value("burst").toInt(), results);
        idle(vellora.pid(), options.value("idle").toInt(), results);
    }
    const QString interpreter = options.value("interpreter");
    if (paths.contains("script") && !interpreter.isEmpty()) {
        Program vellora(program, {"--volume-interpreter", interpreter},
                        logs + "/vellora-script.log");
        if (const QString fault = vellora.start(x, sink, apps); !fault.isEmpty())
            qFatal("script: %s", qPrintable(fault));
        switchLatency(vellora.pid(), x, sink, apps, activations).into(results, "switch_script");
        if (const double native = results["switch_native_p99_ms"].toDouble(); native > 0)
            results["switch_ratio_p99"] =
                round2(results["switch_script_p99_ms"].toDouble() / native);
        say("script switch done");
    }
    results["load_average_end"] = loadAverage();
    if (!mergeInto(out, results))
        qFatal("cannot write %s", qPrintable(out));
    return 0;
}
