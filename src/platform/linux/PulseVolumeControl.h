#pragma once

#include "platform/VolumeControl.h"

#include <QObject>
#include <memory>

namespace vellora {

// The default sink's volume over the PulseAudio protocol (PulseAudio, or PipeWire's server).
// Calls block for at most about a second; while the server is away they fail at once, and the
// connection is retried by the common back-off rule until the server is back.
class PulseVolumeControl : public QObject, public VolumeControl {
    Q_OBJECT

public:
    explicit PulseVolumeControl(QObject* parent = nullptr);
    ~PulseVolumeControl() override;

    // The default sink's volume as whole-percent text (the loudest channel, rounded).
    std::optional<QString> readOutputVolume() override;
    // Scales all channels so the loudest is at percent, keeping the balance; above 100 boosts.
    bool setOutputVolume(int percent) override;
    // What the server accepts: far above 100, as a boosted sink may be.
    int maxPercent() const override;

    bool isConnected() const;

signals:
    // Reported on the owner's thread whenever the connection is made or lost.
    void connectionChanged(bool connected);

private:
    struct Impl;
    void onConnectionChanged(bool connected);

    std::unique_ptr<Impl> d;
    bool outageReported_ = false;
};

} // namespace vellora
