// The sandbox id read from /proc/PID/cgroup. Any text: the id is empty or a desktop id made of
// the characters such ids have, found in bounded time. A Flatpak or Snap scope line, followed by
// any text, gives that application's id.
#include "FuzzSupport.h"
#include "platform/linux/ApplicationResolver.h"

#include <QRegularExpression>

#include <fuzzer/FuzzedDataProvider.h>

using namespace vellora;
using vellora::fuzz::shown;
using vellora::fuzz::textFrom;

namespace {

const QStringList kSpecials{
    QStringLiteral("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"),
    QStringLiteral("app-flatpak-"),
    QStringLiteral("snap."),
    QStringLiteral(".scope"),
    QStringLiteral("-1234"),
    QStringLiteral(".0f3c9a2e-5b7d-4c1e-9f8a-2d6b4e8c1a7f"),
    QStringLiteral("org.example.App"),
    QStringLiteral("\n"),
    QStringLiteral("\u00e9"),
    QStringLiteral("\U0001F600")};

const QRegularExpression kIdChars(QStringLiteral("^[A-Za-z0-9_.\\-]+\\.desktop$"));

// An id of the characters its kind allows, none of which starts a scope's numeric tail.
QString idFrom(FuzzedDataProvider& in, const QString& allowed) {
    QString id;
    const std::string raw = in.ConsumeRandomLengthString(30);
    for (const char b : raw)
        id += allowed.at(static_cast<unsigned char>(b) % allowed.size());
    return id;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int kind = in.ConsumeIntegralInRange(0, 2);
    if (kind == 0) {
        const QString text = textFrom(in.ConsumeRemainingBytesAsString(), kSpecials);
        const QString id = ApplicationResolver::sandboxAppIdFromCgroup(text);
        FUZZ_CHECK(id.isEmpty() || kIdChars.match(id).hasMatch(), shown(text) + " -> " + shown(id));
        return 0;
    }
    // Letters first: a reverse-DNS id (Flatpak) or a snap and app name (Snap).
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCXYZ");
    const QString head = idFrom(in, letters);
    const QString rest = idFrom(in, letters + QStringLiteral("0123456789_."));
    const QString tail = textFrom(in.ConsumeRemainingBytesAsString(), kSpecials);
    // A file naming two sandboxes cannot say which one the process is in.
    if (head.isEmpty() || tail.contains(QStringLiteral("app-flatpak-")))
        return 0;
    QString line = kSpecials.at(0), expected;
    if (kind == 1) {
        QString id = head + rest;
        while (id.endsWith(QLatin1Char('.')))
            id.chop(1);
        line += QStringLiteral("app-flatpak-%1-%2.scope\n").arg(id).arg(size);
        expected = id + QStringLiteral(".desktop");
    } else {
        QString app = rest;
        app.remove(QLatin1Char('.')).remove(QLatin1Char('_'));
        if (app.isEmpty())
            return 0;
        line += QStringLiteral("snap.%1.%2.0f3c9a2e-5b7d-4c1e-9f8a-2d6b4e8c1a7f.scope\n")
                    .arg(head, app);
        expected = head + QLatin1Char('_') + app + QStringLiteral(".desktop");
    }
    const QString id = ApplicationResolver::sandboxAppIdFromCgroup(line + tail);
    FUZZ_CHECK(id == expected, shown(line + tail) + " -> " + shown(id));
    return 0;
}
