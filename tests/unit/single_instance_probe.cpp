// One start of the program's single-instance guard, for tests that start several at once.
// Usage: single_instance_probe START_AT (milliseconds since the epoch; the guard is taken then,
// so that copies started together really race). Says "primary" or "handed-over"; the primary
// then says "reopened" for each later start, until its standard input ends (20 s at most).
#include "shell/SingleInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 wait = app.arguments().value(1).toLongLong() - QDateTime::currentMSecsSinceEpoch();
    QThread::msleep(static_cast<unsigned long>(std::clamp<qint64>(wait, 0, 5000)));

    vellora::SingleInstance instance(QStringLiteral("Vellora"));
    std::puts(instance.handedOver() ? "handed-over" : "primary");
    std::fflush(stdout);
    if (instance.handedOver())
        return 0;
    QObject::connect(&instance, &vellora::SingleInstance::reopened, [] {
        std::puts("reopened");
        std::fflush(stdout);
    });
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    return app.exec();
}
