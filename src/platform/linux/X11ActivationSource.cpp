#include "X11ActivationSource.h"

#include "WindowNamer.h"
#include "X11Link.h"
#include "base/Logging.h"
#include "platform/Backoff.h"
#include "platform/DesktopEntry.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <utility>

namespace vellora {

struct X11ActivationSource::Impl {
    WindowNamer namer;
    std::unique_ptr<X11Link> x;
    std::unique_ptr<QSocketNotifier> notifier; // a child of the source, declared after x
    uint32_t lastWindow = 0;                   // the active window last seen
    uint32_t pendingWindow = 0; // active, but not yet named: waiting for its WM_CLASS
    Backoff backoff;
    bool lossReported = false;
    QTimer retry; // a child of the source

    Impl(DesktopEntrySource& e, QObject* owner) : namer(e), retry(owner) {}

    static bool named(const WindowFacts& f) {
        return !f.wmClass.isEmpty() || !f.wmInstance.isEmpty() || !f.gtkApplicationId.isEmpty() ||
               !f.kdeDesktopFile.isEmpty();
    }
};

X11ActivationSource::X11ActivationSource(DesktopEntrySource& entries, QObject* parent)
    : ActivationSource(parent), d(std::make_unique<Impl>(entries, this)) {
    d->retry.setSingleShot(true);
    connect(&d->retry, &QTimer::timeout, this, &X11ActivationSource::connectToServer);
    connectToServer();
    if (d->x) {
        // What is in front as this program starts is where switching starts from, not a switch:
        // coming back to it from this program's own window changes nothing. Looked at once the
        // event loop runs, when the reports have a listener.
        startFromFirstReport();
        QMetaObject::invokeMethod(
            this, [this] { activeWindowChanged(1, true); }, Qt::QueuedConnection);
    }
}

X11ActivationSource::~X11ActivationSource() = default;

bool X11ActivationSource::isAvailable() const {
    return d->x != nullptr;
}

QString X11ActivationSource::problem() const {
    return isAvailable() ? QString()
                         : QStringLiteral("No X display; volumes are not switched until one is "
                                          "available.");
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
        qCInfo(lcActivation, "connected to the X server again");
    }
    d->x->watchRoot();
    d->notifier = std::make_unique<QSocketNotifier>(d->x->fd(), QSocketNotifier::Read, this);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, &X11ActivationSource::drain);
    d->lastWindow = 0;
    d->pendingWindow = 0;
}

void X11ActivationSource::serverLost() {
    d->notifier.reset();
    d->x.reset();
    if (!d->lossReported) {
        d->lossReported = true;
        qCWarning(lcActivation, "lost the X server; retrying");
    }
    d->retry.start(d->backoff.next());
}

void X11ActivationSource::drain() {
    // Every event waiting is read before a question is asked, so that a burst of changes of the
    // active window costs one look at the window last made active. Answers read while waiting
    // bring along the events sent meanwhile: the loop takes those too before sleeping again.
    int activeChanges = 0;
    bool pendingNamed = false;
    while (d->x) {
        while (auto event = d->x->nextEvent(true)) {
            if (event->activeWindowChanged)
                ++activeChanges;
            else if (event->destroyed)
                windowDestroyed(event->window);
            else if (event->namingPropertyChanged && event->window == d->pendingWindow)
                pendingNamed = true;
        }
        if (d->x->hasError()) {
            serverLost();
            return;
        }
        if (const int changes = std::exchange(activeChanges, 0))
            activeWindowChanged(changes);
        else if (std::exchange(pendingNamed, false))
            pendingWindowNamed();
        else
            break;
    }
    if (d->x)
        d->x->flush(); // changes of what is watched that no question took along
}

} // namespace vellora

namespace vellora {

void X11ActivationSource::activeWindowChanged(int changes, bool firstLook) {
    if (!d->x)
        return;
    const auto window = d->x->activeWindow();
    if (!window)
        return; // unreadable
    if (*window == d->lastWindow && !firstLook) {
        // Focus went elsewhere and came back before it was looked at (the window manager says
        // so at least twice): for the user that was a switch back to this application.
        if (changes >= 2 && *window != 0)
            if (auto facts = d->x->describe(*window);
                facts && Impl::named(*facts) && facts->pid != QCoreApplication::applicationPid())
                Q_EMIT frontReturned(d->namer.name(std::move(*facts)));
        return; // else a repeat
    }
    if (d->lastWindow)
        d->x->unwatch(d->lastWindow);
    d->lastWindow = *window;
    d->pendingWindow = 0;
    if (*window == 0) {
        reportFront(std::nullopt); // no active window: no application
        return;
    }
    // Watched before it is read: for its end, since the server may hand its id to a later
    // window, and for its naming, so that a WM_CLASS set after the read is not missed.
    d->x->watch(*window, true);
    auto facts = d->x->describe(*window);
    if (!facts) {
        reportFront(std::nullopt); // the window vanished
        return;
    }
    if (facts->pid == QCoreApplication::applicationPid()) {
        d->x->unwatch(*window);
        Q_EMIT ownWindowInFront(); // a popover or menu of this program: not an application switch
        return;
    }
    if (Impl::named(*facts)) {
        d->x->watch(*window, false); // its end is all that matters now
        reportFront(d->namer.name(std::move(*facts)));
        return;
    }
    // Not named yet: until it names an application, none is in front.
    d->pendingWindow = *window;
    reportFront(std::nullopt);
}

void X11ActivationSource::pendingWindowNamed() {
    if (!d->pendingWindow)
        return;
    auto facts = d->x->describe(d->pendingWindow);
    if (!facts || !Impl::named(*facts))
        return;
    d->x->watch(d->pendingWindow, false);
    d->pendingWindow = 0;
    reportFront(d->namer.name(std::move(*facts)));
}

void X11ActivationSource::windowDestroyed(uint32_t window) {
    if (window == d->lastWindow) {
        d->lastWindow = 0;
        // The window in front is gone; unless the window manager names another one soon,
        // nothing is in front.
        reportFront(std::nullopt);
    }
    if (window == d->pendingWindow)
        d->pendingWindow = 0;
}

} // namespace vellora
