#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace vellora {

// Write one diagnostic line to standard output.
void diag(const QString& line);

// The text as one plain line: control characters, line separators and direction marks are shown
// as escapes, so text from outside can neither break a line, drive a terminal, nor reorder what
// is shown after it.
QString oneLine(const QString& text);

// Write one line to the system log (syslog) and echo it to standard error.
void systemLog(const QString& line);

// While alive, diagnostic and system-log lines, and the messages of the program's logging
// categories, are recorded here instead of being written out. Tests use it to read what the
// program said; captures do not nest.
class DiagnosticCapture {
public:
    DiagnosticCapture();
    ~DiagnosticCapture();
    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

    QStringList lines;    // standard-output lines, in order
    QStringList logLines; // system-log lines, in order
    // The standard-output lines so far, while other threads may still be writing them.
    QStringList linesSoFar() const;
    // The logging categories' warnings and information so far, as "vellora.audio: message".
    QStringList loggedSoFar() const;

private:
    QStringList logged_;
    friend void captureMessage(QtMsgType, const QMessageLogContext&, const QString&);
};

} // namespace vellora
