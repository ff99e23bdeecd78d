// Activations on a real X server (Xvfb + openbox), named through real desktop entries: a change
// of application, never of window; no window in front counts once it lasts.
#include "platform/linux/GioDesktopEntries.h"
#include "platform/linux/X11ActivationSource.h"
#include "support/Windows.h"

#include <QSignalSpy>
#include <QtTest>

using namespace vellora;

namespace {

using Front = std::optional<RunningApplication>;

QString nameAt(const QSignalSpy& spy, qsizetype at) {
    const auto app = spy.at(at).at(0).value<Front>();
    return app ? app->localizedName.value_or("<unnamed>") : QStringLiteral("<none>");
}
QString last(const QSignalSpy& spy) {
    return spy.isEmpty() ? QStringLiteral("<nothing>") : nameAt(spy, spy.size() - 1);
}
bool setActive(const QString& window) {
    return desktop::run("xprop", {"-root", "-f", "_NET_ACTIVE_WINDOW", "32x", "-set",
                                  "_NET_ACTIVE_WINDOW", window})
        .has_value();
}
QString xterm(TestWindows& windows, const QString& cls, const QStringList& more = {}) {
    return windows.start("xterm", QStringList{"-class", cls} + more, cls);
}
const int kSettled = 2 * int(ActivationSource::kSettleDelay.count());

} // namespace

class TestActivation : public QObject {
    Q_OBJECT

    std::unique_ptr<GioDesktopEntries> entries;
    std::unique_ptr<X11ActivationSource> source;

private slots:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
        qRegisterMetaType<Front>();
        entries = std::make_unique<GioDesktopEntries>();
        source = std::make_unique<X11ActivationSource>(*entries);
        QVERIFY(source->isAvailable());
    }
    // Every test starts with nothing in front, settled.
    void init() {
        QVERIFY(setActive("0"));
        QTest::qWait(kSettled);
    }
    void cleanupTestCase() {
        source.reset();
        entries.reset();
    }

    void names_data() {
        QTest::addColumn<QString>("wmClass");
        QTest::addColumn<QString>("name");
        QTest::newRow("StartupWMClass") << "Alpha"
                                        << "Alpha";
        QTest::newRow("desktop-file id") << "gamma"
                                         << "Gamma Writer";
        QTest::newRow("default file manager") << "VelloraFiles"
                                              << "Finder";
        QTest::newRow("WM_CLASS only") << "Xmessage"
                                       << "Xmessage";
    }
    void names() {
        QFETCH(QString, wmClass);
        QFETCH(QString, name);
        TestWindows windows;
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        const QString window = wmClass == "Xmessage" ? windows.start("xmessage", {"hello"}, wmClass)
                                                     : xterm(windows, wmClass);
        QVERIFY(TestWindows::activate(window));
        QTRY_COMPARE(last(spy), name);
        QCOMPARE(spy.last().at(0).value<Front>()->pid, windows.last()->processId());
    }

    void applicationsNotWindows() {
        TestWindows windows;
        const QString alpha = xterm(windows, "Alpha");
        const QString beta = xterm(windows, "Beta");
        xterm(windows, "Alpha", {"-title", "second"});
        QString second;
        for (const QString& id : desktop::run("xdotool", {"search", "--class", "^Alpha$"})
                                     .value_or(QString())
                                     .split('\n', Qt::SkipEmptyParts))
            if (id.trimmed() != alpha)
                second = id.trimmed();
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty() && !second.isEmpty());
        QVERIFY(TestWindows::activate(beta));
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        QVERIFY(TestWindows::activate(alpha));
        QTRY_COMPARE(spy.size(), 1);
        // A repeat, and another window of the same application, are no activation; nor is no
        // window for an instant on the way to another one.
        QVERIFY(setActive(alpha));
        QVERIFY(TestWindows::activate(second));
        QVERIFY(setActive("0"));
        QVERIFY(TestWindows::activate(beta));
        QTRY_COMPARE(spy.size(), 2);
        QTest::qWait(kSettled);
        QCOMPARE(QStringList({nameAt(spy, 0), nameAt(spy, 1)}), QStringList({"Alpha", "Beta"}));
        // No window that lasts: an activation without an application, once.
        QVERIFY(setActive("0"));
        QTRY_COMPARE(last(spy), QStringLiteral("<none>"));
        QTest::qWait(kSettled);
        QCOMPARE(spy.size(), 3);
    }

    // A window gone by the time it is announced, and one whose class comes late: neither is
    // mistaken for something else; the late one is no application until its class arrives.
    void unrulyWindows() {
        TestWindows windows;
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        const QString doomed = xterm(windows, "Doomed");
        windows.last()->kill();
        windows.last()->waitForFinished(2000);
        const QString alpha = xterm(windows, "Alpha");
        const QString beta = xterm(windows, "Beta");
        QVERIFY(TestWindows::activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(last(spy), QStringLiteral("Beta"), 10000);
        QVERIFY(setActive(doomed));
        QVERIFY(desktop::run("xprop", {"-id", alpha, "-remove", "WM_CLASS"}).has_value());
        QVERIFY(TestWindows::activate(alpha));
        // A window that names no application, lastingly: none is in front.
        QTRY_COMPARE(last(spy), QStringLiteral("<none>"));
        QVERIFY(desktop::run("xprop",
                             {"-id", alpha, "-f", "WM_CLASS", "8s", "-set", "WM_CLASS", "Alpha"}));
        QTRY_COMPARE(last(spy), QStringLiteral("Alpha"));
        for (qsizetype i = 0; i < spy.size(); ++i)
            QVERIFY(nameAt(spy, i) != QStringLiteral("Doomed"));
    }

    // A closed window's id can be handed to a later window: that one is a new activation.
    void reusedWindowIds() {
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        for (const QString cls : {"Alpha", "Beta", "Alpha"}) {
            TestWindows windows;
            QVERIFY(TestWindows::activate(xterm(windows, cls)));
            QTRY_COMPARE(last(spy), cls);
        }
    }
};

QTEST_GUILESS_MAIN(TestActivation)
#include "test_activation.moc"
