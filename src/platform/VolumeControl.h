#pragma once

#include <QString>
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
};

} // namespace vellora
