// One start of the program's single-instance guard, for tests that start several at once.
// Usage: single_instance_probe START_AT (milliseconds since the epoch: the guard is taken then, so
// that copies started together really race). Says "primary" or "handed-over"; the primary then
// says "reopened" for each later start and runs until stopped (20 s at most).
#include "shell/SingleInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 wait = app.arguments().value(1).toLongLong() - QDateTime::currentMSecsSinceEpoch();
    QThread::msleep(static_cast<unsigned long>(qBound(qint64(0), wait, qint64(5000))));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    vellora::SingleInstance instance(QStringLiteral("Vellora"));
    std::puts(instance.handedOver() ? "handed-over" : "primary");
    if (instance.handedOver())
        return 0;
    QObject::connect(&instance, &vellora::SingleInstance::reopened, [] { std::puts("reopened"); });
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    return app.exec();
}
