#include "X11ActivationSource.h"

#include "ApplicationResolver.h"
#include "ProcessInfo.h"
#include "X11Link.h"
#include "core/Diagnostics.h"
#include "platform/Backoff.h"
#include "platform/DesktopEntry.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

namespace vellora {

struct X11ActivationSource::Impl {
    DesktopEntrySource& entries;
    std::unique_ptr<X11Link> x;
    std::unique_ptr<QSocketNotifier> notifier;
    ApplicationResolver resolver;
    uint32_t lastWindow = 0;    // the active window last seen
    uint32_t pendingWindow = 0; // active, but not yet named: waiting for its WM_CLASS
    Backoff backoff;
    bool lossReported = false;
    QTimer retry;

    explicit Impl(DesktopEntrySource& e) : entries(e) {}

    // Facts about a window; nothing when it vanished.
    std::optional<WindowFacts> factsOf(uint32_t window) {
        const auto wmClass = x->wmClass(window);
        if (!wmClass)
            return std::nullopt;
        WindowFacts f;
        f.wmInstance = wmClass->first;
        f.wmClass = wmClass->second;
        f.gtkApplicationId = x->textProperty(window, X11Link::GtkApplicationId).value_or(QString());
        f.kdeDesktopFile = x->textProperty(window, X11Link::KdeDesktopFile).value_or(QString());
        f.pid = x->windowPid(window);
        f.sandboxAppId = ApplicationResolver::sandboxAppIdFromCgroup(proc::cgroup(f.pid));
        f.exePath = proc::exePath(f.pid);
        f.cmdline = proc::cmdline(f.pid);
        return f;
    }

    static bool named(const WindowFacts& f) {
        return !f.wmClass.isEmpty() || !f.wmInstance.isEmpty() || !f.gtkApplicationId.isEmpty() ||
               !f.kdeDesktopFile.isEmpty();
    }

    std::optional<RunningApplication> resolve(const WindowFacts& facts) {
        if (const auto list = entries.entries())
            resolver.setEntries(*list, entries.defaultFileManagerId());
        return resolver.resolve(facts);
    }
};

X11ActivationSource::X11ActivationSource(DesktopEntrySource& entries, QObject* parent)
    : ActivationSource(parent), d(std::make_unique<Impl>(entries)) {
    d->retry.setSingleShot(true);
    connect(&d->retry, &QTimer::timeout, this, &X11ActivationSource::connectToServer);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        // Replies read while waiting can carry events along; handle them before sleeping.
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { drain(false); });
    }
    connectToServer();
}

X11ActivationSource::~X11ActivationSource() = default;

bool X11ActivationSource::isAvailable() const {
    return d->x != nullptr;
}

void X11ActivationSource::connectToServer() {
    auto link = X11Link::open();
    if (!link) {
        d->retry.start(d->backoff.next());
        return;
    }
    d->x = std::move(link);
    d->backoff.reset();
    if (d->lossReported) {
        d->lossReported = false;
        diag(QStringLiteral("activation: connected to the X server again"));
    }
    d->x->watchRoot();
    d->notifier = std::make_unique<QSocketNotifier>(d->x->fd(), QSocketNotifier::Read);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, [this] { drain(true); });
    d->lastWindow = 0;
    d->pendingWindow = 0;
}

void X11ActivationSource::serverLost() {
    d->notifier.reset();
    d->x.reset();
    if (!d->lossReported) {
        d->lossReported = true;
        diag(QStringLiteral("activation: lost the X server; retrying"));
    }
    d->retry.start(d->backoff.next());
}

void X11ActivationSource::drain(bool readSocket) {
    if (!d->x)
        return;
    while (auto event = d->x->nextEvent(readSocket)) {
        if (event->activeWindowChanged)
            activeWindowChanged();
        else if (event->destroyed)
            windowDestroyed(event->window);
        else if (event->namingPropertyChanged && event->window == d->pendingWindow)
            pendingWindowNamed();
    }
    if (d->x->hasError())
        serverLost();
}

} // namespace vellora

namespace vellora {

void X11ActivationSource::activeWindowChanged() {
    const auto window = d->x->activeWindow();
    if (!window || *window == d->lastWindow)
        return; // unreadable, or a repeat
    if (d->lastWindow)
        d->x->unwatch(d->lastWindow);
    d->lastWindow = *window;
    d->pendingWindow = 0;
    if (*window == 0) {
        frontChanged(std::nullopt); // no active window: no application
        return;
    }
    if (d->x->windowPid(*window) == QCoreApplication::applicationPid()) {
        ownWindowInFront(); // a popover or menu of this program: not an application switch
        return;
    }
    // Watch it for its end: the server may hand its id to a later window.
    d->x->watch(*window, false);
    const auto facts = d->factsOf(*window);
    if (!facts) {
        frontChanged(std::nullopt); // the window vanished
        return;
    }
    if (Impl::named(*facts)) {
        frontChanged(d->resolve(*facts));
        return;
    }
    // Not named yet: watch its properties too, then look again, since its WM_CLASS may have
    // arrived between the first read and the watch. Until it names an application, none is in
    // front.
    d->pendingWindow = *window;
    d->x->watch(*window, true);
    frontChanged(std::nullopt);
    pendingWindowNamed();
}

void X11ActivationSource::pendingWindowNamed() {
    const auto facts = d->factsOf(d->pendingWindow);
    if (!facts || !Impl::named(*facts))
        return;
    d->x->watch(d->pendingWindow, false);
    d->pendingWindow = 0;
    frontChanged(d->resolve(*facts));
}

void X11ActivationSource::windowDestroyed(uint32_t window) {
    if (window == d->lastWindow) {
        d->lastWindow = 0;
        // The window in front is gone; unless the window manager names another one soon,
        // nothing is in front.
        frontChanged(std::nullopt);
    }
    if (window == d->pendingWindow)
        d->pendingWindow = 0;
}

} // namespace vellora
