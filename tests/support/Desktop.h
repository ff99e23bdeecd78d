#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <optional>

// Helpers for tests that run inside the throwaway desktop session (scripts/with-desktop.sh).
namespace desktop {

inline QString sessionDir() {
    return qEnvironmentVariable("VELLORA_DESKTOP_DIR");
}

// Runs a helper program with an argument list; its standard output, or nothing on failure.
inline std::optional<QString> run(const QString& program, const QStringList& args,
                                  int boundMs = 10000) {
    QProcess p;
    p.start(program, args);
    if (p.waitForFinished(boundMs) && p.exitStatus() == QProcess::NormalExit && !p.exitCode())
        return QString::fromUtf8(p.readAllStandardOutput());
    p.kill(); // if still running past the bound
    p.waitForFinished(1000);
    return std::nullopt;
}

inline bool session(const QString& command) {
    return run("bash", {VELLORA_SCRIPTS_DIR "/desktop-session.sh", command, sessionDir()}, 20000)
        .has_value();
}

// A sink's channel volumes in percent (the default sink's unless named), as pactl reports them.
inline QList<int> sinkPercents(const QString& sink = "@DEFAULT_SINK@") {
    QList<int> percents;
    static const QRegularExpression re("/\\s*(\\d+)%");
    const QString out = run("pactl", {"get-sink-volume", sink}).value_or("");
    for (auto it = re.globalMatch(out.section('\n', 0, 0)); it.hasNext();)
        percents << it.next().captured(1).toInt();
    return percents;
}

// A sink's volume in percent (its first channel), or -1.
inline int sinkPercent(const QString& sink = "@DEFAULT_SINK@") {
    return sinkPercents(sink).value(0, -1);
}

} // namespace desktop
