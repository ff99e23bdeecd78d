#include "X11ActivationSource.h"

#include "WindowNamer.h"
#include "X11Link.h"
#include "base/Logging.h"
#include "platform/Backoff.h"
#include "platform/DesktopEntry.h"

#include <QCoreApplication>
#include <QHash>
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
    // What each window seen in front is, until it is destroyed (watched for that meanwhile), so
    // that coming back to it costs one read of the active window and nothing more.
    struct Known {
        std::optional<RunningApplication> application;
        bool own = false; // a window of this program
    };
    QHash<uint32_t, Known> known;
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
    d->known.clear(); // window ids of another server, perhaps
}

void X11ActivationSource::serverLost() {
    d->notifier.reset();
    d->x.reset();
    d->known.clear();
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
    // A window is what it was first seen as, until the desktop entries change: then each is
    // named again, as the list now names its application.
    if (d->namer.entriesChanged())
        d->known.removeIf([](const auto& entry) { return !entry.value().own; });
    const auto known = d->known.constFind(*window);
    if (*window == d->lastWindow && !firstLook) {
        // Focus went elsewhere and came back before it was looked at (the window manager says
        // so at least twice): for the user that was a switch back to this application.
        if (changes >= 2 && known != d->known.cend() && !known->own)
            Q_EMIT frontReturned(known->application);
        return; // else a repeat
    }
    if (d->lastWindow && !d->known.contains(d->lastWindow))
        d->x->unwatch(d->lastWindow); // a known window stays watched for its end
    d->lastWindow = *window;
    d->pendingWindow = 0;
    if (*window == 0) {
        reportFront(std::nullopt); // no active window: no application
        return;
    }
    if (known != d->known.cend()) {
        if (known->own)
            Q_EMIT ownWindowInFront();
        else
            reportFront(known->application);
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
        d->x->watch(*window, false); // its end is all that matters now
        d->known.insert(*window, {std::nullopt, true});
        Q_EMIT ownWindowInFront(); // a popover or menu of this program: not an application switch
        return;
    }
    if (Impl::named(*facts)) {
        d->x->watch(*window, false);
        const auto application = d->namer.name(std::move(*facts));
        d->known.insert(*window, {application, false});
        reportFront(application);
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
    const auto application = d->namer.name(std::move(*facts));
    d->known.insert(std::exchange(d->pendingWindow, 0), {application, false});
    reportFront(application);
}

void X11ActivationSource::windowDestroyed(uint32_t window) {
    d->known.remove(window); // its id may be handed to a later window
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
