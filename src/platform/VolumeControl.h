#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace vellora {

// An output as the audio server names it; empty stands for the current output.
using OutputId = QString;
inline const OutputId kCurrentOutput;

// What one read of the master volume gave: a whole percent, or a reading that names none (an
// output without a volume control, a script that printed something else). Putting back a reading
// without a percent sets nothing.
struct VolumeReading {
    std::optional<int> percent;
    QString text; // as read, for messages
    bool operator==(const VolumeReading&) const = default;
};

// The system's master output volume. Lives on one thread; its calls and signals stay there.
class VolumeControl : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Reads the current output's volume; nothing when no usable reading arrived. Blocks, bounded.
    virtual std::optional<VolumeReading> readOutputVolume() = 0;
    // Sets the volume of an output, which need not be the current one any more, to a whole
    // percent from 0 to maxPercent(); false when the output is gone or the server did not take
    // it in time. Blocks, bounded.
    virtual bool setOutputVolume(int percent, const OutputId& output) = 0;
    // The largest percent setOutputVolume accepts (100, or more where the output can be boosted).
    virtual int maxPercent() const = 0;
    // The output the volume is read from and set on now; empty when this control knows of a
    // single output only, or of none yet.
    virtual OutputId currentOutput() = 0;
    // How the desktop shows the current output to the user ("Headphones", "Built-in Audio
    // Analog Stereo"); empty when unknown.
    virtual QString currentOutputDescription() { return {}; }

Q_SIGNALS:
    // Another output became the current one; like resyncNeeded, what was asked may not be what
    // the server holds on it. One signal is sent when both happen at once.
    void currentOutputChanged();
    // What was asked may not be what the server holds: it answers again after a loss, or a
    // request it left unanswered may have been carried out late.
    void resyncNeeded();
    // Someone else changed the current output's volume (the user, with the desktop's own
    // control): not a set of this control's, nor a change of output.
    void volumeChangedByHand(int percent);
    // The current output's volume follows its loudest stream (PulseAudio's flat volumes): a
    // program raising its own sound raises it too. Sent once, for the first such output found.
    void flatVolumesFound(const QString& outputDescription);
};

} // namespace vellora
