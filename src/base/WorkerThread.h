#pragma once

#include "HandOver.h"

#include <QObject>
#include <QSemaphore>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <type_traits>

namespace vellora {

// A thread with an event loop of its own, for the parts that wait on the outside world (the
// audio server, the X server, the session bus), so that the interface never does. Objects are
// made, used and destroyed there through call().
class WorkerThread {
public:
    explicit WorkerThread(const QString& name) {
        thread_.setObjectName(name);
        anchor_.moveToThread(&thread_);
        thread_.start();
    }
    ~WorkerThread() {
        thread_.quit();
        // Every call made on it is bounded itself. A thread still busy past this would take the
        // process down in QThread's destructor: leave at once instead.
        if (!thread_.wait(QDeadlineTimer(5000))) {
            std::fprintf(stderr, "Vellora: the %s thread did not end in time; leaving now\n",
                         qPrintable(thread_.objectName()));
            std::fflush(nullptr);
            std::_Exit(EXIT_FAILURE);
        }
    }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    QThread* thread() { return &thread_; }

    // Runs f on this thread and returns its result once it is done. For work that is bounded
    // itself (making and ending the parts that live there): a thread that still has not answered
    // after kCallBound is stuck, and the program leaves with a line that says which, rather than
    // hang unseen.
    template <class F> auto call(F f) -> std::invoke_result_t<F> {
        using Result = std::invoke_result_t<F>;
        if (QThread::currentThread() == &thread_)
            return f();
        if constexpr (std::is_void_v<Result>) {
            leaveUnless(callWithin(kCallBound, std::move(f)));
        } else {
            std::optional<Result> result; // outlives f: a miss leaves the process
            leaveUnless(callWithin(kCallBound, [&] { result.emplace(f()); }));
            return std::move(*result);
        }
    }

    // Runs f on this thread, waiting at most bound for it; true when it ran in time. Work that
    // misses its bound still runs later, so what f uses must outlive it: at quit, a caller that
    // gets false leaves the process rather than tear down what f may still use.
    template <class F> bool callWithin(std::chrono::milliseconds bound, F f) {
        if (QThread::currentThread() == &thread_) {
            f();
            return true;
        }
        auto done = std::make_shared<QSemaphore>();
        handover::post(&anchor_, [f = std::move(f), done]() mutable {
            f();
            handover::give(done.get());
            done->release();
        });
        if (!done->tryAcquire(1, int(bound.count())))
            return false;
        handover::take(done.get());
        return true;
    }

    static constexpr std::chrono::milliseconds kCallBound{10000};

private:
    void leaveUnless(bool answered) {
        if (answered)
            return;
        std::fprintf(stderr, "Vellora: the %s thread did not answer within %lld s; leaving now\n",
                     qPrintable(thread_.objectName()), qlonglong(kCallBound.count() / 1000));
        std::fflush(nullptr);
        std::_Exit(EXIT_FAILURE);
    }

    QThread thread_;
    QObject anchor_; // lives on the thread: what call() hands its work to
};

} // namespace vellora
