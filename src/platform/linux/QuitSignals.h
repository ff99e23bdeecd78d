#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace vellora {

// Turns the signals that ask a program to end (SIGTERM at logout or from `kill`, SIGINT from a
// terminal, SIGHUP when the terminal goes) into a normal quit of the event loop, so that
// everything is put away as after "Quit": the compositor's script is unloaded, the threads end.
// The handler only writes a byte to a pipe; the loop reads it.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vellora
