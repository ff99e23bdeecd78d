#pragma once

#include "support/Desktop.h"

#include <memory>
#include <vector>

// X clients started by a test, and the windows they show; all are ended with the test.
class TestWindows {
public:
    ~TestWindows() {
        for (auto& p : clients_) {
            p->kill();
            p->waitForFinished(2000);
        }
    }

    // Starts a client and returns the id of its window (found by WM_CLASS class, and by its
    // process: a window of that class closed just before may not be gone yet), or empty.
    QString start(const QString& program, const QStringList& args, const QString& wmClass) {
        auto p = std::make_unique<QProcess>();
        p->start(program, args);
        if (!p->waitForStarted(5000))
            return {};
        const QString pid = QString::number(p->processId());
        clients_.push_back(std::move(p));
        // A search gives up on the first window that vanishes while it looks (the program's own,
        // as it starts): it is asked again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            const auto ids = desktop::run("xdotool", {"search", "--sync", "--all", "--pid", pid,
                                                      "--class", "^" + wmClass + "$"});
            if (ids && !ids->isEmpty())
                return ids->section('\n', 0, 0);
        }
        return {};
    }

    QProcess* last() const { return clients_.empty() ? nullptr : clients_.back().get(); }

    static bool activate(const QString& window) {
        return desktop::run("xdotool", {"windowactivate", "--sync", window}).has_value();
    }

private:
    std::vector<std::unique_ptr<QProcess>> clients_;
};
