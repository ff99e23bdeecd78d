#pragma once

#include "platform/ActivationSource.h"

#include <QDBusContext>
#include <memory>

namespace vellora {

class DesktopEntrySource;

// Activations told over the session bus by a helper running inside the compositor, which alone
// knows the active window on Wayland: a KWin script or a GNOME Shell extension. The helper calls
// WindowActivated(application id, window class, process id) on this program's bus name; calls
// from any connection but the compositor's own are ignored, and what they carry is only looked
// up, never shown as markup nor run.
class BusActivationSource : public ActivationSource, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.vellora.Vellora.Activation")

public:
    static inline const QString kService = QStringLiteral("com.vellora.Vellora");
    static inline const QString kPath = QStringLiteral("/com/vellora/Vellora/Activation");

    // compositorService: the bus name the compositor owns ("org.kde.KWin", "org.gnome.Shell").
    BusActivationSource(DesktopEntrySource& entries, const QString& compositorService,
                        QObject* parent = nullptr);
    ~BusActivationSource() override;

    bool isAvailable() const override { return registered_; }

public Q_SLOTS:
    // The application id (desktop-file id, with or without ".desktop") and the window class may
    // be empty; the process id is decimal text, "0" when unknown. Nothing named: none in front.
    Q_SCRIPTABLE void WindowActivated(const QString& applicationId, const QString& windowClass,
                                      const QString& pid);

protected:
    // The compositor (re)appeared on the bus, as at start: a helper it runs for us starts here.
    virtual void compositorStarted() {}
    // The compositor left the bus (it ended, or is restarting): nothing reports until it is back.
    virtual void compositorStopped() {}
    // The compositor's helper reported for the first time.
    virtual void heardFromCompositor() {}
    // Why the compositor cannot reach this program, when it cannot; else empty.
    QString unreachable(const QString& compositor) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    bool registered_ = false;
};

} // namespace vellora
