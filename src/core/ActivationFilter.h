#pragma once

#include "platform/ActivationSource.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

namespace vellora {

// Turns what an activation source reports into activations: changes of application, not of
// window (moving between two windows of one application is none), and never this program's own
// popovers, menus and alerts. Focus resting on no window, or on a window that names no
// application, is an activation without an application, but only once it lasts: window managers
// pass through "no window" for an instant between two windows. Lives on the source's thread.
class ActivationFilter : public QObject {
    Q_OBJECT

public:
    // How long focus must rest on no application before that counts.
    static constexpr std::chrono::milliseconds kSettleDelay{250};
    // How long a window of this program may take to get the focus once it shows.
    static constexpr std::chrono::milliseconds kOwnWindowDelay{2000};

    // Follows source, on its thread; a parent (the source, say) takes care of ending it there.
    explicit ActivationFilter(ActivationSource& source, QObject* parent = nullptr);

    // This program shows a window of its own, which takes the focus: until it has it, focus
    // resting on no window is the way into that window, not the user leaving an application.
    // (A compositor may clear the focus well before the new window is drawn.) Any thread.
    void ownWindowComing();

Q_SIGNALS:
    // Another application became the active one; nothing when none is in front any more.
    void applicationActivated(const std::optional<vellora::RunningApplication>& application);

private:
    void frontAtStart(const std::optional<RunningApplication>& application);
    void frontChanged(const std::optional<RunningApplication>& application);
    // A pending "nothing in front" was only the way into this program's window.
    void ownWindowInFront();
    // Reported again, as the switch back it was.
    void frontReturned(const std::optional<RunningApplication>& application);
    // Which application this is: its desktop entry, else its process, else its name.
    static QString identity(const std::optional<RunningApplication>& application);
    void report(const std::optional<RunningApplication>& application);

    bool known_ = false; // whether anything was reported yet
    QString current_;    // identity of the application last reported; empty for none
    QTimer settle_;
    QElapsedTimer ownWindowComing_; // since this program last showed a window, if it did
};

} // namespace vellora
