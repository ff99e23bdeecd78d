#include "ProcessInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace vellora::proc {

namespace {

QString procPath(qint64 pid, const char* what) {
    return QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(what));
}

QByteArray readSmall(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(qint64{64} * 1024);
}

} // namespace

QString exePath(qint64 pid) {
    if (pid <= 0)
        return {};
    return QFileInfo(procPath(pid, "exe")).symLinkTarget();
}

QStringList cmdline(qint64 pid) {
    if (pid <= 0)
        return {};
    QStringList args;
    for (const QByteArray& arg : readSmall(procPath(pid, "cmdline")).split('\0')) {
        if (!arg.isEmpty())
            args << QString::fromLocal8Bit(arg);
    }
    return args;
}

QString cgroup(qint64 pid) {
    if (pid <= 0)
        return {};
    return QString::fromUtf8(readSmall(procPath(pid, "cgroup")));
}

QList<qint64> userProcesses() {
    const uid_t me = getuid();
    QList<qint64> pids;
    const QStringList names =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        bool numeric = false;
        const qint64 pid = name.toLongLong(&numeric);
        if (!numeric)
            continue;
        struct stat st = {};
        if (::stat(QByteArray("/proc/" + name.toLatin1()).constData(), &st) == 0 && st.st_uid == me)
            pids << pid;
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

} // namespace vellora::proc
