#pragma once

#include "platform/RunningApplication.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

namespace vellora {

// Tells when another application becomes the active one. An activation is a change of
// application, not of window: moving between two windows of one application is none, and this
// program's own popovers, menus and alerts never count. Focus resting on no window, or on a window
// that names no application, is an activation without an application, but only once it lasts:
// window managers pass through "no window" for an instant between two windows.
class ActivationSource : public QObject {
    Q_OBJECT

public:
    // How long focus must rest on no application before that counts.
    static constexpr std::chrono::milliseconds kSettleDelay{250};
    // How long a window of this program may take to get the focus once it shows.
    static constexpr std::chrono::milliseconds kOwnWindowDelay{2000};

    explicit ActivationSource(QObject* parent = nullptr);
    ~ActivationSource() override = default;
    // Whether activations can be observed at all in this session.
    virtual bool isAvailable() const = 0;
    // What it follows, for the start-up lines: "a KWin script", for one.
    virtual QString description() const = 0;
    // Why it cannot follow the active application, in plain words; empty when it can.
    virtual QString problem() const { return {}; }
    // This program shows a window of its own, which takes the focus: until it has it, focus
    // resting on no window is the way into that window, not the user leaving an application.
    // (A compositor may clear the focus well before the new window is drawn.) Any thread.
    void ownWindowComing();

Q_SIGNALS:
    // Another application became the active one; nothing when none is in front any more.
    void applicationActivated(const std::optional<vellora::RunningApplication>& application);

protected:
    // The backend's first report will tell what is in front as this program starts: that is
    // where switching starts from, not a switch (only changes of the application in front are).
    void startFromFirstReport() { startPending_ = true; }
    // What is in front now, as a backend sees it: an application, or none.
    void frontChanged(const std::optional<RunningApplication>& application);
    // One of this program's own windows is in front: the application the user works in stays.
    void ownWindowInFront();
    // The application in front left and came back before the backend could look: reported
    // again, as the switch back it was.
    void frontReturned(const std::optional<RunningApplication>& application);

private:
    // Which application this is: its desktop entry, else its process, else its name.
    static QString identity(const std::optional<RunningApplication>& application);
    void report(const std::optional<RunningApplication>& application);

    bool known_ = false; // whether anything was reported yet
    bool startPending_ = false;
    QString current_; // identity of the application last reported; empty for none
    QTimer settle_;
    QElapsedTimer ownWindowComing_; // since this program last showed a window, if it did
};

} // namespace vellora

Q_DECLARE_METATYPE(std::optional<vellora::RunningApplication>)
