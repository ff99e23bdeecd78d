#pragma once

#include <QObject>
#include <utility>

// Work and values handed from one thread to another go through Qt's event queue or a
// QSemaphore. Qt's libraries are not built with ThreadSanitizer, so the order these give is not
// seen by it: in a ThreadSanitizer build every hand-over below says so itself, and what is written
// before it counts as seen by what runs after it on the other side. Elsewhere they cost nothing.
#if defined(__SANITIZE_THREAD__)
#define VELLORA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELLORA_THREAD_SANITIZER 1
#endif
#endif

#ifdef VELLORA_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace vellora::handover {

// Everything written on this thread so far is handed over through token.
inline void give([[maybe_unused]] const void* token) {
#ifdef VELLORA_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(token));
#endif
}

// Everything handed over through token so far is seen from here on.
inline void take([[maybe_unused]] const void* token) {
#ifdef VELLORA_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(token));
#endif
}

// A function for the event queue. It is handed over through its own seal, once it is in place,
// on every copy or move Qt makes of it, and taken before it runs: the copy that runs is the last
// one made, and the seal's place is known without reading anything written before the take.
template <class F> class Delivery {
public:
    explicit Delivery(F f) : f_(std::move(f)) {}
    void operator()() {
        take(&seal_);
        f_();
    }

private:
    struct Seal {
        Seal() { give(this); }
        Seal(const Seal&) { give(this); }
        Seal& operator=(const Seal&) = delete;
    };
    F f_;
    Seal seal_; // after f_: given once f_ is in place
};

// Runs f on target's thread, from its event queue.
template <class F> void post(QObject* target, F f) {
    QMetaObject::invokeMethod(target, Delivery<F>(std::move(f)), Qt::QueuedConnection);
}

} // namespace vellora::handover
