#include "Diagnostics.h"

#include <cstdio>
#include <mutex>
#include <syslog.h>

namespace vellora {

namespace {
DiagnosticCapture* activeCapture = nullptr;
// Lines come from the interface's thread and the worker threads: each is written whole.
std::mutex lineLock;
} // namespace

QString oneLine(const QString& text) {
    QString line;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Controls, line separators, and the marks that reorder the text shown after them.
        if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029 ||
            (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069) || u == 0x200e ||
            u == 0x200f)
            line += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return line;
}

void diag(const QString& line) {
    const std::lock_guard lock(lineLock);
    if (activeCapture) {
        activeCapture->lines << line;
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void systemLog(const QString& line) {
    const std::lock_guard lock(lineLock);
    if (activeCapture) {
        activeCapture->logLines << line;
        return;
    }
    const QByteArray bytes = line.toUtf8();
    syslog(LOG_NOTICE, "%s", bytes.constData());
    std::fprintf(stderr, "%s\n", bytes.constData());
}

// The handler in place before the first capture (Qt's own, or the test runner's): messages a
// capture does not keep go on to it, outside the lock.
QtMessageHandler handlerBeforeCapture = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    QtMessageHandler next = nullptr;
    {
        const std::lock_guard lock(lineLock);
        const QString category = QString::fromLatin1(context.category ? context.category : "");
        // Debug detail, which anyone may turn on, is no part of what tests read.
        if (activeCapture && type != QtDebugMsg && category.startsWith(QStringLiteral("vellora.")))
            activeCapture->logged_ << category + QStringLiteral(": ") + message;
        else
            next = handlerBeforeCapture;
    }
    if (next)
        next(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
}

// Worker threads may be writing a line as a capture begins or ends.
DiagnosticCapture::DiagnosticCapture() {
    const std::lock_guard lock(lineLock);
    activeCapture = this;
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    if (previous != captureMessage)
        handlerBeforeCapture = previous;
}

QStringList DiagnosticCapture::loggedSoFar() const {
    const std::lock_guard lock(lineLock);
    return logged_;
}

QStringList DiagnosticCapture::linesSoFar() const {
    const std::lock_guard lock(lineLock);
    return lines;
}

DiagnosticCapture::~DiagnosticCapture() {
    const std::lock_guard lock(lineLock);
    if (activeCapture == this)
        activeCapture = nullptr;
    qInstallMessageHandler(handlerBeforeCapture);
}

} // namespace vellora
