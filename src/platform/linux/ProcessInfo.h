#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vellora {

// What /proc tells of a process.
namespace proc {

QString exePath(qint64 pid);     // the program file, or empty when it cannot be read
QStringList cmdline(qint64 pid); // the argument list, or empty
QString cgroup(qint64 pid);      // the text of /proc/PID/cgroup, or empty
// Processes of the current user, in ascending order of process id.
QList<qint64> userProcesses();

} // namespace proc
} // namespace vellora
