#pragma once

#include <QObject>
#include <QThread>
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
        thread_.wait(QDeadlineTimer(5000)); // every call made on it is bounded itself
    }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    QThread* thread() { return &thread_; }

    // Runs f on this thread and returns its result once it is done.
    template <class F> auto call(F f) -> std::invoke_result_t<F> {
        using Result = std::invoke_result_t<F>;
        if (QThread::currentThread() == &thread_)
            return f();
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(&anchor_, f, Qt::BlockingQueuedConnection);
        } else {
            std::optional<Result> result;
            QMetaObject::invokeMethod(
                &anchor_, [&] { result.emplace(f()); }, Qt::BlockingQueuedConnection);
            return std::move(*result);
        }
    }

private:
    QThread thread_;
    QObject anchor_; // lives on the thread: what call() hands its work to
};

} // namespace vellora
