#pragma once

#include "platform/VolumeControl.h"

#include <QObject>
#include <memory>

namespace vellora {

// The default sink's volume over the PulseAudio protocol (PulseAudio, or PipeWire's server).
// The default sink and its volume are kept current from the server's announcements, so reading
// waits on nothing and setting is one request. Calls block for at most about a second; while the
// server is away they fail at once, and the connection is retried by the common back-off rule
// until the server is back.
class PulseVolumeControl : public VolumeControl {
    Q_OBJECT

public:
    explicit PulseVolumeControl(QObject* parent = nullptr);
    ~PulseVolumeControl() override;

    // The default sink's volume in whole percent (the loudest channel, rounded).
    std::optional<VolumeReading> readOutputVolume() override;
    // Scales all channels so the loudest is at percent, keeping the balance; above 100 boosts.
    bool setOutputVolume(int percent, const OutputId& output) override;
    // What the server accepts: far above 100, as a boosted sink may be.
    int maxPercent() const override;
    // The default sink's name. Its changes, and the server back after a loss, are signalled on
    // the owner's thread.
    OutputId currentOutput() override;
    QString currentOutputDescription() override;

    bool isConnected() const;

Q_SIGNALS:
    // Reported on the owner's thread whenever the connection is made or lost.
    void connectionChanged(bool connected);

private:
    struct Impl;
    void onConnectionChanged(bool connected);

    std::unique_ptr<Impl> d;
    bool outageReported_ = false;
    // Since the last connection; before the first one too, as a server that does not answer at
    // start (one started on demand, a stalled one) misses what is asked meanwhile.
    bool lost_ = true;
};

} // namespace vellora
