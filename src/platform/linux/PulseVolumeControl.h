#pragma once

#include "platform/VolumeControl.h"

#include <QObject>
#include <memory>

namespace vellora {

// The default sink's volume over the PulseAudio protocol (PulseAudio, or PipeWire's server).
// Calls block for at most about a second; while the server is away they fail at once, and the
// connection is retried with a growing delay until the server is back.
class PulseVolumeControl : public QObject, public VolumeControl {
    Q_OBJECT

public:
    explicit PulseVolumeControl(QObject* parent = nullptr);
    ~PulseVolumeControl() override;

    // The default sink's volume as whole-percent text (the loudest channel, rounded).
    std::optional<QString> readOutputVolume() override;
    // Scales all channels so the loudest is at percent, keeping the balance.
    void setOutputVolume(int percent) override;

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
