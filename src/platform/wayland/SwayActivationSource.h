#pragma once

#include "platform/ActivationSource.h"

#include <memory>

class QJsonObject;

namespace vellora {

class DesktopEntrySource;

// Activations on sway, over the IPC that sway shares with i3: window and workspace events on
// the compositor's socket. The application comes from a window's app_id (or, for an XWayland
// window, its X11 class), named through the desktop entries as on X11; the process from the
// event. Reading never waits: the socket tells when there is something to read. A compositor
// that goes away is looked for again by the common back-off rule, also under a new socket name
// (sway names its socket after its process id).
class SwayActivationSource : public ActivationSource {
    Q_OBJECT

public:
    SwayActivationSource(DesktopEntrySource& entries, const QString& socketPath,
                         QObject* parent = nullptr);
    ~SwayActivationSource() override;

    bool isAvailable() const override;
    QString description() const override { return QStringLiteral("sway's IPC socket"); }
    QString problem() const override;

    // The socket of a sway or i3 of this session, from the environment; empty when none.
    static QString socketFromEnvironment();

private:
    struct Impl;
    void connectToCompositor();
    void connected();
    void lost();
    void readMessages();
    void message(quint32 type, const QByteArray& payload);
    void windowFocused(const QJsonObject& window);

    std::unique_ptr<Impl> d;
};

} // namespace vellora
