#pragma once

#include "support/Desktop.h"

#include <QDir>
#include <QMap>
#include <QPoint>
#include <QTest>

// The real program in the throwaway desktop, and its windows driven with xdotool as a person
// would: clicks, keys, and which of its windows show.
class ProgramDriver {
protected:
    ~ProgramDriver() { vellora.terminate(), vellora.waitForFinished(5000); } // ends with the test
    QProcess vellora;
    // Vellora's windows by their size as xdotool tells it: the list and the editor.
    const QString kList = "WIDTH=380\nHEIGHT=430\n", kEditor = "WIDTH=220\nHEIGHT=70\n";

    QStringList lines() { return QString(vellora.peek(vellora.bytesAvailable())).split('\n'); }
    // Starts Vellora on a settings file written by hand, as a person may; true once it is up.
    bool startWith(const QByteArray& settings) {
        const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vellora";
        QFile conf(folder + "/Vellora.conf");
        if (!QDir().mkpath(folder) || !conf.open(QIODevice::WriteOnly) || !conf.write(settings))
            return false;
        conf.close();
        vellora.setProcessChannelMode(QProcess::MergedChannels); // its log too
        vellora.start(VELLORA_PROGRAM, {});
        // Start-up refreshes the list twice: once for the first showing, once at the end.
        return QTest::qWaitFor([&] { return lines().count("update") >= 2; }, 15000);
    }
    static auto xdo(const QString& command) { return desktop::run("xdotool", command.split(' ')); }
    static QString out(const QString& command) { return xdo(command).value_or(""); }
    static auto click(QPoint p) {
        return xdo(QString("mousemove %1 %2 click 1").arg(p.x()).arg(p.y()));
    }
    // Whether a window of this size is among Vellora's visible ones, or those a search finds.
    static bool shown(const QString& size, QString of = "search --onlyvisible --name ^Vellora$") {
        return out(of + " getwindowgeometry --shell %@").contains(size);
    }
    static QPoint middleOf(const QString& windows) {
        QMap<QString, int> v;
        for (const QString& line : out(windows + " getwindowgeometry --shell").split('\n'))
            v[line.section('=', 0, 0)] = line.section('=', 1).toInt();
        return {v["X"] + v["WIDTH"] / 2, v["Y"] + v["HEIGHT"] / 2};
    }
};
