#include "SwitchWorker.h"

#include "platform/VolumeControl.h"

#include <QThread>

namespace vellora {

SwitchWorker::SwitchWorker(UserDefaults& defaults, VolumeControl& volume,
                           MusicPlayerSource* players, QObject* parent)
    : QObject(parent), volume_(volume), table_(defaults), players_(defaults, players),
      switch_(table_, volume, players_) {
    volume.setEvents({[this] { outputChanged(); }, [this] { serverReturned(); }});
}

SwitchWorker::~SwitchWorker() {
    volume_.setEvents({}); // the control may outlive the switch
}

void SwitchWorker::post(const std::optional<RunningApplication>& application) {
    {
        QMutexLocker lock(&mutex_);
        pending_ = application; // an activation still waiting is overtaken
        if (scheduled_)
            return;
        scheduled_ = true;
    }
    if (QThread::currentThread() == thread())
        drain();
    else
        QMetaObject::invokeMethod(this, &SwitchWorker::drain, Qt::QueuedConnection);
}

void SwitchWorker::drain() {
    for (;;) {
        std::optional<RunningApplication> next;
        {
            QMutexLocker lock(&mutex_);
            if (!pending_) {
                scheduled_ = false;
                break;
            }
            next = std::move(*pending_);
            pending_.reset();
        }
        switch_.setPreviousApplication(next);
    }
    emit switched();
}

void SwitchWorker::outputChanged() {
    switch_.outputChanged();
    emit switched();
}

void SwitchWorker::serverReturned() {
    // The default output may have changed while the server was away, and no announcement of it
    // came: the output the captured volume belongs to is checked, then the switch runs again.
    switch_.outputChanged();
    emit switched();
}

} // namespace vellora
