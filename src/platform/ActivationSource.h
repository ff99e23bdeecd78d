#pragma once

#include "platform/RunningApplication.h"

#include <QObject>
#include <QString>
#include <optional>
#include <utility>

namespace vellora {

// Tells what is in front as the window system sees it, report by report: an application, none,
// or a window of this program. Which reports are switches of application (not a change of
// window, not an instant with no window in between) is for the activation filter to decide.
class ActivationSource : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    // Whether activations can be observed at all in this session.
    virtual bool isAvailable() const = 0;
    // What it follows, for the start-up lines: "a KWin script", for one.
    virtual QString description() const = 0;
    // Why it cannot follow the active application, in plain words; empty when it can.
    virtual QString problem() const { return {}; }

Q_SIGNALS:
    // What is in front as this program starts: where switching starts from, not a switch.
    void frontAtStart(const std::optional<vellora::RunningApplication>& application);
    // What is in front now: an application, or none.
    void frontChanged(const std::optional<vellora::RunningApplication>& application);
    // One of this program's own windows is in front.
    void ownWindowInFront();
    // The application in front left and came back before the backend could look.
    void frontReturned(const std::optional<vellora::RunningApplication>& application);

protected:
    // The backend's first report will tell what is in front as this program starts.
    void startFromFirstReport() { startPending_ = true; }
    // What is in front now, as the backend sees it: the start, or a change.
    void reportFront(const std::optional<RunningApplication>& application) {
        if (std::exchange(startPending_, false))
            Q_EMIT frontAtStart(application);
        else
            Q_EMIT frontChanged(application);
    }

private:
    bool startPending_ = false;
};

} // namespace vellora

Q_DECLARE_METATYPE(std::optional<vellora::RunningApplication>)
