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
    connect(&volume, &VolumeControl::volumeChangedByHand, &learner_,
            &LevelLearner::volumeChangedByHand);
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
        switch_.switchFor(next);
    }
    tellOutputInUse();
    Q_EMIT switched();
}

void SwitchWorker::retellOutputInUse() {
    Q_ASSERT(QThread::currentThread() == thread());
    toldOutput_.reset();
    tellOutputInUse();
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
    switch_.replay();
    tellOutputInUse();
    Q_EMIT switched();
}

} // namespace vellora
