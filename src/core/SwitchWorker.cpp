#include "SwitchWorker.h"

#include "base/HandOver.h"
#include "base/Logging.h"
#include "platform/VolumeControl.h"

#include <QThread>

namespace vellora {

SwitchWorker::SwitchWorker(UserDefaults& defaults, VolumeControl& volume,
                           MusicPlayerSource* players, QObject* parent)
    : QObject(parent), volume_(volume), table_(defaults), outputLevels_(defaults),
      players_(defaults, players), switch_(table_, volume, players_, &outputLevels_),
      learner_(defaults, table_, outputLevels_, switch_, volume, players_) {
    connect(&volume, &VolumeControl::currentOutputChanged, this, &SwitchWorker::rerun);
    connect(&volume, &VolumeControl::resyncNeeded, this, &SwitchWorker::rerun);
    connect(&volume, &VolumeControl::volumeChangedByHand, &learner_, [this](int percent) {
        if (!paused_) {
            learner_.volumeChangedByHand(percent);
            return;
        }
        // Paused, a volume set by hand is the user's: no level, and nothing put back over it.
        switch_.forgetLevelInForce();
        publishStatus();
    });
    connect(&learner_, &LevelLearner::learnt, this, &SwitchWorker::publishStatus);
}

SwitchWorker::~SwitchWorker() = default;

void SwitchWorker::post(const std::optional<RunningApplication>& application) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_)
            return;
        pending_ = application; // an activation still waiting is overtaken
        if (scheduled_)
            return;
        scheduled_ = true;
    }
    if (QThread::currentThread() == thread())
        drain();
    else
        handover::post(this, [this] { drain(); });
}

void SwitchWorker::drain() {
    Q_ASSERT(QThread::currentThread() == thread());
    for (;;) {
        std::optional<RunningApplication> next;
        {
            const std::lock_guard lock(mutex_);
            if (!pending_ || closed_) {
                scheduled_ = false;
                break;
            }
            next = std::move(*pending_);
            pending_.reset();
        }
        learner_.cancel(); // the volume set by hand did not stay
        if (paused_)
            switch_.noteFront(next);
        else
            switch_.switchFor(next);
    }
    tellOutputInUse();
    publishStatus();
    Q_EMIT switched();
}

void SwitchWorker::setPaused(bool paused) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_ || paused_ == paused)
            return;
        paused_ = paused; // at once: whoever asks next hears it
        status_.paused = paused;
    }
    if (QThread::currentThread() == thread())
        pausedNow(paused);
    else
        handover::post(this, [this, paused] { pausedNow(paused); });
}

void SwitchWorker::pausedNow(bool paused) {
    qCInfo(lcAudio, paused ? "switching paused" : "switching resumed");
    learner_.cancel();
    if (!paused && !closed_)
        switch_.replay(); // the application in front gets its level, or the volume from before
    tellOutputInUse();
    publishStatus();
    Q_EMIT pausedChanged(paused);
    Q_EMIT switched();
}

SwitchStatus SwitchWorker::status() const {
    const std::lock_guard lock(mutex_);
    return status_;
}

void SwitchWorker::publishStatus() {
    const auto& front = switch_.frontApplication();
    SwitchStatus now{front ? front->localizedName.value_or(QString()) : QString(),
                     switch_.levelInForceText(),
                     switch_.hasCaptured() ? switch_.capturedVolume().text.trimmed() : QString(),
                     toldOutput_ ? toldOutput_->first : QString(),
                     toldOutput_ ? toldOutput_->second : QString(),
                     paused_};
    const std::lock_guard lock(mutex_);
    status_ = std::move(now);
}

void SwitchWorker::retellOutputInUse() {
    Q_ASSERT(QThread::currentThread() == thread());
    toldOutput_.reset();
    tellOutputInUse();
    publishStatus();
}

void SwitchWorker::tellOutputInUse() {
    // A description may come after its output's name.
    auto told = std::pair(volume_.currentOutput(), volume_.currentOutputDescription());
    if (toldOutput_ == told)
        return;
    toldOutput_ = told;
    Q_EMIT outputInUse(told.first, told.second);
}

void SwitchWorker::putCapturedVolumeBack() {
    Q_ASSERT(QThread::currentThread() == thread());
    disconnect(&volume_, nullptr, this, nullptr);
    disconnect(&volume_, nullptr, &learner_, nullptr);
    learner_.cancel();
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    const auto applied = switch_.putCapturedVolumeBack();
    publishStatus();
    if (!applied || *applied == VolumeSwitch::Applied::Refused) // a refusal is said as it happens
        return;
    const QString output = switch_.capturedOutput().isEmpty()
                               ? QString()
                               : QStringLiteral(" on ") + switch_.capturedOutput();
    const QByteArray volume = switch_.capturedVolume().text.trimmed().toUtf8(),
                     on = output.toUtf8();
    if (*applied == VolumeSwitch::Applied::Set)
        qCInfo(lcAudio, "quit: the volume from before, %s %%, put back%s", volume.constData(),
               on.constData());
    else
        qCWarning(lcAudio,
                  "quit: the volume from before, %s %%, could not be put back%s: the audio "
                  "server did not confirm it in time",
                  volume.constData(), on.constData());
}

void SwitchWorker::rerun() {
    Q_ASSERT(QThread::currentThread() == thread());
    // A new output, or the server back (what was asked meanwhile did not happen, and the output
    // may have changed unannounced): the switch runs again for the application in front, and
    // itself puts back the volume of an output left behind.
    learner_.cancel();
    if (!paused_) // paused, the volume stays as it is; resuming replays
        switch_.replay();
    tellOutputInUse();
    publishStatus();
    Q_EMIT switched();
}

} // namespace vellora
