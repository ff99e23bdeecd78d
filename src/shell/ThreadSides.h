#pragma once

#include "core/ActivationFilter.h"
#include "core/SwitchWorker.h"
#include "core/UserDefaults.h"
#include "platform/Platform.h"

#include <QThread>
#include <functional>
#include <memory>

namespace vellora {

// Everything on the audio thread, made and destroyed there: the volume control, the music
// players, and the switch with the settings store it reads the table through.
class AudioSide {
public:
    // settingsFile: the interface's own store's file (one file, one state). tellUser: called from
    // this thread with what the user must hear of the audio server (its flat volumes), which is
    // also said on standard output.
    AudioSide(const QString& volumeInterpreter, const QString& settingsFile,
              std::function<void(const QString&)> tellUser = {});
    ~AudioSide();

    SwitchWorker& switcher() { return switcher_; }
    VolumeControl& volume() { return *parts_.volume; }
    // What the session lacks for this side, one plain sentence each.
    const QStringList& missing() const { return parts_.missing; }

private:
    QThread* const thread_ = QThread::currentThread();
    AudioParts parts_;
    UserDefaults defaults_;
    SwitchWorker switcher_;
};

// Everything on the activations thread, made and destroyed there: the source that follows the
// application in front, the desktop entries it names applications by (read here, and published
// to the index the interface lists them from), and the filter that tells which of its reports
// are switches of application.
class ActivationSide {
public:
    explicit ActivationSide(DesktopEntryIndex& desktopEntries);
    ~ActivationSide();

    // None when the session offers no way to learn the application in front.
    ActivationFilter* filter() { return filter_.get(); }
    const QStringList& missing() const { return parts_.missing; }

private:
    QThread* const thread_ = QThread::currentThread();
    ActivationParts parts_;
    std::unique_ptr<ActivationFilter> filter_; // ends before the source it follows
};

} // namespace vellora
