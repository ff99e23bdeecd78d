#pragma once

#include "platform/VolumeControl.h"

#include <QByteArray>
#include <QStringList>
#include <chrono>

namespace vellora {

// Reads and sets the master volume by running a script interpreter with a one-line script: the
// volume control of a platform that has such an interpreter (osascript), or any interpreter
// path given to it. It gets an argument list ("-e", script), never a shell; every run is bounded.
class ScriptVolumeControl : public VolumeControl {
public:
    static inline const QString kDefaultInterpreter = QStringLiteral("/usr/bin/osascript");
    static inline const QString kReadScript =
        QStringLiteral("set ovol to output volume of (get volume settings)");
    static inline const QString kSetScriptPrefix = QStringLiteral("set volume output volume ");

    explicit ScriptVolumeControl(QString interpreter = kDefaultInterpreter,
                                 std::chrono::milliseconds bound = std::chrono::seconds(3),
                                 QObject* parent = nullptr);

    // The interpreter's raw standard output, decoded as UTF-8: each chunk that decodes replaces
    // the text before it; nothing when no chunk arrived or none decoded. The text is kept as
    // printed (a line break and all); its percent is the whole number it holds, if any.
    std::optional<VolumeReading> readOutputVolume() override;
    // The interpreter knows one output, the system's: any other is refused.
    bool setOutputVolume(int percent, const OutputId& output) override;
    // The interpreter's volume goes from 0 to 100.
    int maxPercent() const override { return 100; }
    OutputId currentOutput() override { return kCurrentOutput; }
    // Each run stands alone: there is nothing to notice between runs, and no signal is sent.

    // The whole number a captured text holds, blanks around it aside ("35\n" is 35).
    static std::optional<int> percentIn(const QString& text);

    // Decodes bytes as UTF-8; nothing when they are not valid UTF-8.
    static std::optional<QString> decodeUtf8(const QByteArray& bytes);

private:
    // Runs a script: whether it ran to its end within the bound, and what it printed.
    struct Outcome {
        bool finished = false;
        std::optional<QString> captured;
    };
    Outcome run(const QString& script, bool capture);

    QString interpreter_;
    std::chrono::milliseconds bound_;
};

} // namespace vellora
