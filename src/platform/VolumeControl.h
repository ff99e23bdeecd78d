#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace vellora {

// The system's master output volume.
class VolumeControl {
public:
    virtual ~VolumeControl() = default;
    // Reads the volume; the text captured, or nothing when no usable text arrived. Blocks, bounded.
    virtual std::optional<QString> readOutputVolume() = 0;
    // Sets the volume to a whole percent from 0 to maxPercent(); false when it could not be set
    // (no audio server, no answer in time). Blocks, bounded.
    virtual bool setOutputVolume(int percent) = 0;
    // The largest percent setOutputVolume accepts (100, or more where the output can be boosted).
    virtual int maxPercent() const = 0;
    // The output the volume is read from and set on now (the default sink); empty when this
    // control knows of a single output only.
    virtual QString currentOutput() = 0;
    // Sets the volume of the named output, which need not be the current one any more (empty:
    // the current one); false when it is gone or did not take it. Blocks, bounded.
    virtual bool setOutputVolume(int percent, const QString& output) = 0;

    // What the control notices by itself, reported on the thread the control lives on.
    struct Events {
        std::function<void()> outputChanged; // another output became the current one
        std::function<void()> reconnected;   // the audio server answers again after a loss
    };
    virtual void setEvents(Events events) = 0;
};

} // namespace vellora
