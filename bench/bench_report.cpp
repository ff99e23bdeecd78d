// Completes the benchmarks' JSON file with the figures derived from others (the growth of the
// refresh between sizes) and prints everything as a table beside its goal.
//   bench_report build/release/bench/results.json
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

struct Row {
    const char* key;
    const char* what;
    const char* unit;
    const char* goal = "";
    std::function<bool(const QJsonObject&)> met = nullptr;
};

double v(const QJsonObject& r, const char* key) {
    return r.value(QLatin1String(key)).toDouble(NAN);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_report RESULTS.json\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_report: cannot read %s\n", argv[1]);
        return 1;
    }
    QJsonObject r = QJsonDocument::fromJson(file.readAll()).object();
    file.close();

    // Ten times the entries should cost at most about ten times as much.
    for (const char* prefix : {"refresh_ms_", "refresh_search_ms_"}) {
        for (auto [from, to] : {std::pair{100, 1000}, std::pair{1000, 10000}}) {
            const double a = r.value(prefix + QString::number(from)).toDouble();
            const double b = r.value(prefix + QString::number(to)).toDouble();
            if (a > 0 && b > 0)
                r[QStringLiteral("%1growth_%2_%3").arg(prefix).arg(from).arg(to)] =
                    std::round(b / a * 100.0) / 100.0;
        }
    }

    // The switch beside the audio server's bare round trip under it.
    for (const char* q : {"p50", "p99"}) {
        const double sw = r.value(QStringLiteral("switch_native_%1_ms").arg(q)).toDouble();
        const double rt = r.value(QStringLiteral("pulse_roundtrip_%1_ms").arg(q)).toDouble();
        if (sw > 0 && rt > 0)
            r[QStringLiteral("switch_over_roundtrip_%1").arg(q)] =
                std::round(sw / rt * 100.0) / 100.0;
    }

    const auto below = [](const char* key, double limit) {
        return [=](const QJsonObject& o) { return v(o, key) < limit; };
    };
    const auto atMost = [](const char* key, double limit) {
        return [=](const QJsonObject& o) { return v(o, key) <= limit; };
    };
    const Row rows[] = {
        {"switch_native_p50_ms", "switch, native, p50", "ms"},
        {"switch_native_p95_ms", "switch, native, p95", "ms"},
        {"switch_native_p99_ms", "switch, native, p99", "ms", "< 3",
         below("switch_native_p99_ms", 3)},
        {"switch_native_missed", "switch, native, missed", "", "0",
         below("switch_native_missed", 1)},
        {"switch_native_observer_late", "switch, native, left out (late)", ""},
        {"switch_redraw_p50_ms", "switch, redrawing windows, p50", "ms", "<= 1",
         atMost("switch_redraw_p50_ms", 1)},
        {"switch_redraw_p99_ms", "switch, redrawing windows, p99", "ms", "<= 3",
         atMost("switch_redraw_p99_ms", 3)},
        {"switch_redraw_missed", "switch, redrawing windows, missed", "", "0",
         below("switch_redraw_missed", 1)},
        {"pulse_roundtrip_p50_ms", "bare round trip, p50", "ms"},
        {"pulse_roundtrip_p99_ms", "bare round trip, p99", "ms"},
        {"switch_over_roundtrip_p50", "native / bare round trip, p50", "x", "<= 3",
         atMost("switch_over_roundtrip_p50", 3)},
        {"switch_over_roundtrip_p99", "native / bare round trip, p99", "x", "<= 3",
         atMost("switch_over_roundtrip_p99", 3)},
        {"switch_script_p50_ms", "switch, script, p50", "ms"},
        {"switch_script_p95_ms", "switch, script, p95", "ms"},
        {"switch_script_p99_ms", "switch, script, p99", "ms"},
        {"switch_ratio_p99", "script / native, p99", "x", ">= 10",
         [](const QJsonObject& o) { return v(o, "switch_ratio_p99") >= 10; }},
        {"refresh_ms_100", "refresh, 100 entries", "ms"},
        {"refresh_ms_1000", "refresh, 1,000 entries", "ms", "< 16", below("refresh_ms_1000", 16)},
        {"refresh_ms_10000", "refresh, 10,000 entries", "ms"},
        {"refresh_ms_growth_100_1000", "growth 100 -> 1,000", "x", "<= 10",
         atMost("refresh_ms_growth_100_1000", 10)},
        {"refresh_ms_growth_1000_10000", "growth 1,000 -> 10,000", "x", "<= 10",
         atMost("refresh_ms_growth_1000_10000", 10)},
        {"refresh_search_ms_100", "refresh, search, 100", "ms"},
        {"refresh_search_ms_1000", "refresh, search, 1,000", "ms", "< 16",
         below("refresh_search_ms_1000", 16)},
        {"refresh_search_ms_10000", "refresh, search, 10,000", "ms"},
        {"refresh_cold_ms_1000", "first refresh, 1,000", "ms", "<= 50",
         atMost("refresh_cold_ms_1000", 50)},
        {"refresh_cold_ms_10000", "first refresh, 10,000", "ms"},
        {"idle_wakeups_60s", "idle wake-ups in 60 s", "", "0", below("idle_wakeups_60s", 1)},
        {"idle_cpu_percent", "idle CPU", "%"},
        {"rss_mb", "resident memory after start-up", "MB", "< 45", below("rss_mb", 45)},
        {"rss_mb_after_use", "resident memory after use", "MB"},
        {"burst_activations", "burst: activations sent", ""},
        {"burst_settle_ms", "burst: at rest after the last", "ms"},
        {"burst_wm_ms", "burst: window manager done after", "ms"},
        {"burst_last_volume_ms", "burst: last volume change after", "ms"},
        {"burst_sink_changes", "burst: volume changes made", ""},
        {"burst_final_ok", "burst: last application's volume", "", "yes",
         [](const QJsonObject& o) { return o.value("burst_final_ok").toBool(); }},
        {"load_average_start", "load average (1 min), start", ""},
        {"load_average_end", "load average (1 min), end", ""},
    };

    std::printf("%-34s %10s %-4s %-24s %s\n", "figure", "value", "", "goal", "");
    for (const Row& row : rows) {
        const QJsonValue value = r.value(QLatin1String(row.key));
        QString shown = value.isBool()     ? (value.toBool() ? "yes" : "no")
                        : value.isDouble() ? QString::number(value.toDouble(), 'f', 2)
                                           : QStringLiteral("-");
        const char* verdict = !row.met || value.isUndefined() ? "" : row.met(r) ? "met" : "MISSED";
        std::printf("%-34s %10s %-4s %-24s %s\n", row.what, qPrintable(shown), row.unit, row.goal,
                    verdict);
    }

    const QJsonObject woke = r.value("idle_wakeups_by_thread").toObject();
    for (auto it = woke.begin(); it != woke.end(); ++it)
        std::printf("  idle wake-ups of thread %s: %d\n", qPrintable(it.key()), it.value().toInt());

    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QJsonDocument(r).toJson()) <= 0) {
        std::fprintf(stderr, "bench_report: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
