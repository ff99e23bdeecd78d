#pragma once

#include "platform/Backoff.h"
#include "platform/wayland/BusActivationSource.h"

#include <QTimer>

namespace vellora {

// KDE Plasma: KWin runs a small script of this program's bundle, given to it over the bus,
// that reports every window KWin activates. The script is loaded again when KWin restarts, and
// unloaded when this source goes.
class KWinActivationSource : public BusActivationSource {
    Q_OBJECT

public:
    static inline const QString kPluginName = QStringLiteral("vellora-activation");

    KWinActivationSource(DesktopEntrySource& entries, QString scriptPath,
                         QObject* parent = nullptr);
    ~KWinActivationSource() override;

    bool isAvailable() const override { return BusActivationSource::isAvailable() && running_; }
    QString description() const override { return QStringLiteral("a KWin script"); }
    QString problem() const override { return problem_; }

protected:
    void compositorStarted() override;
    void compositorStopped() override;

private:
    static constexpr int kAttempts = 6; // about ten seconds, by the common back-off
    void loadScript();

    QString scriptPath_;
    QString problem_;
    bool running_ = false;
    bool starting_ = true;   // in the constructor: problems go to the start-up lines
    bool restarted_ = false; // KWin went or came again since: said once its script runs again
    // KWin takes its name on the bus a moment before it takes scripts: asked too early, it is
    // asked again, a few times.
    QTimer retry_;
    Backoff backoff_;
    int attemptsLeft_ = 0;
};

// GNOME Shell: an extension shipped with this program reports focus changes; the user enables
// it once. Without it, the start-up lines say in plain words how to.
class GnomeActivationSource : public BusActivationSource {
    Q_OBJECT

public:
    // The extension for GNOME Shell 45 and later, and the one for 40 to 44.
    static inline const QString kExtension = QStringLiteral("vellora@vellora.app");
    static inline const QString kLegacyExtension = QStringLiteral("vellora-legacy@vellora.app");

    explicit GnomeActivationSource(DesktopEntrySource& entries, QObject* parent = nullptr);

    bool isAvailable() const override { return problem_.isEmpty(); }
    QString description() const override;
    QString problem() const override { return problem_; }

protected:
    void heardFromCompositor() override;

private:
    QString extension_;
    QString problem_;
};

} // namespace vellora
