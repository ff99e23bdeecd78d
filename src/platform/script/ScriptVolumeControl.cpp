#include "ScriptVolumeControl.h"

#include "base/Logging.h"
#include "base/WholeNumber.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringDecoder>

#include <limits>

namespace vellora {

ScriptVolumeControl::ScriptVolumeControl(QString interpreter, std::chrono::milliseconds bound,
                                         QObject* parent)
    : VolumeControl(parent), interpreter_(std::move(interpreter)), bound_(bound) {}

std::optional<VolumeReading> ScriptVolumeControl::readOutputVolume() {
    auto captured = run(kReadScript, true).captured;
    if (!captured)
        return std::nullopt;
    return VolumeReading{percentIn(*captured), std::move(*captured)};
}

std::optional<int> ScriptVolumeControl::percentIn(const QString& text) {
    return parseWholeNumber(text, std::numeric_limits<int>::max());
}

bool ScriptVolumeControl::setOutputVolume(int percent, const OutputId& output) {
    if (output != kCurrentOutput)
        return false;
    // Only a whole number from 0 to 100 ever reaches the interpreter.
    if (percent < 0 || percent > maxPercent()) {
        qCWarning(lcScript).noquote()
            << QStringLiteral("refused level %1: not from 0 to 100").arg(percent);
        return false;
    }
    // The script's own success is not known; that it ran to its end is.
    return run(kSetScriptPrefix + QString::number(percent), false).finished;
}

std::optional<QString> ScriptVolumeControl::decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

ScriptVolumeControl::Outcome ScriptVolumeControl::run(const QString& script, bool capture) {
    QProcess process;
    process.setProgram(interpreter_);
    process.setArguments({QStringLiteral("-e"), script});
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.setProcessChannelMode(capture ? QProcess::ForwardedErrorChannel
                                          : QProcess::ForwardedChannels);

    const QDeadlineTimer deadline(bound_);
    process.start();
    if (!process.waitForStarted(int(deadline.remainingTime()))) {
        qCWarning(lcScript).noquote()
            << QStringLiteral("cannot run %1: %2").arg(interpreter_, process.errorString());
        return {};
    }

    std::optional<QString> captured;
    auto takeChunk = [&] {
        const QByteArray chunk = process.readAllStandardOutput();
        if (chunk.isEmpty())
            return;
        if (auto text = decodeUtf8(chunk))
            captured = std::move(text);
    };

    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        if (capture && process.waitForReadyRead(int(deadline.remainingTime()))) {
            takeChunk();
            continue;
        }
        // Output closed (or nothing to capture): what is left is to wait for the exit.
        process.waitForFinished(int(deadline.remainingTime()));
    }

    const bool finished = process.state() == QProcess::NotRunning;
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
        qCWarning(lcScript).noquote()
            << QStringLiteral("%1 did not finish within %2 ms; stopped it")
                   .arg(interpreter_)
                   .arg(bound_.count());
    }
    if (capture)
        takeChunk();
    return {finished, captured};
}

} // namespace vellora
