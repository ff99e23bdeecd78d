// Activations on a real X server (Xvfb + openbox), named through real desktop entries.
#include "platform/linux/GioDesktopEntries.h"
#include "platform/linux/X11ActivationSource.h"
#include "support/Windows.h"

#include <QSignalSpy>
#include <QtTest>

using namespace vellora;

namespace {

using Front = std::optional<RunningApplication>;

QString nameOf(const QSignalSpy& spy, qsizetype at) {
    const auto app = spy.at(at).at(0).value<Front>();
    return app ? app->localizedName.value_or(QStringLiteral("<unnamed>"))
               : QStringLiteral("<none>");
}

bool setRoot(const QString& property, const QString& value) {
    return desktop::run("xprop", {"-root", "-f", property, "32x", "-set", property, value})
        .has_value();
}

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
    // Windows closed at the end of a test leave nothing in front: let that settle.
    void cleanup() { QTest::qWait(2 * int(ActivationSource::kSettleDelay.count())); }
    void cleanupTestCase() {
        source.reset();
        entries.reset();
    }

    void resolvesTheActiveWindow_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("wmClass");
        QTest::addColumn<QString>("name");
        QTest::newRow("StartupWMClass") << "xterm" << QStringList{"-class", "Alpha"} << "Alpha"
                                        << "Alpha";
        QTest::newRow("desktop-file id") << "xterm" << QStringList{"-class", "gamma"} << "gamma"
                                         << "Gamma Writer";
        QTest::newRow("default file manager")
            << "xterm" << QStringList{"-class", "VelloraFiles"} << "VelloraFiles"
            << "Finder";
        QTest::newRow("WM_CLASS only") << "xmessage" << QStringList{"hello"} << "Xmessage"
                                       << "Xmessage";
    }
    void resolvesTheActiveWindow() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, wmClass);
        QFETCH(QString, name);
        TestWindows windows;
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        const QString window = windows.start(program, args, wmClass);
        QVERIFY(!window.isEmpty());
        QVERIFY(TestWindows::activate(window));
        QTRY_VERIFY(!spy.isEmpty());
        QCOMPARE(nameOf(spy, spy.size() - 1), name);
        const auto app = spy.last().at(0).value<Front>();
        QCOMPARE(app->pid, windows.last()->processId());
    }

    // An activation is a change of application: a repeat, or another window of the same
    // application, is none. Focus on no window counts only once it lasts.
    void applicationsNotWindows() {
        TestWindows windows;
        const QString alpha = windows.start("xterm", {"-class", "Alpha"}, "Alpha");
        const QString alpha2 = windows.start("xterm", {"-class", "Alpha", "-title", "2"}, "Alpha");
        const QString beta = windows.start("xterm", {"-class", "Beta"}, "Beta");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty());
        const QString second = desktop::run("xdotool", {"search", "--class", "^Alpha$"})
                                   .value_or(QString())
                                   .split('\n', Qt::SkipEmptyParts)
                                   .value(1)
                                   .trimmed();
        QVERIFY(!second.isEmpty() && second != alpha);
        QVERIFY(TestWindows::activate(beta));
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        QVERIFY(TestWindows::activate(alpha));
        QTRY_COMPARE(spy.size(), 1);
        QVERIFY(setRoot("_NET_ACTIVE_WINDOW", alpha));
        QVERIFY(TestWindows::activate(second));
        // Between two windows, "no window" for an instant is nothing.
        QVERIFY(setRoot("_NET_ACTIVE_WINDOW", "0"));
        QVERIFY(TestWindows::activate(beta));
        QTRY_COMPARE(spy.size(), 2);
        QTest::qWait(2 * int(ActivationSource::kSettleDelay.count()));
        QCOMPARE(nameOf(spy, 0), QStringLiteral("Alpha"));
        QCOMPARE(nameOf(spy, 1), QStringLiteral("Beta"));
        QCOMPARE(spy.size(), 2);
        // No window that lasts: an activation without an application, once.
        QVERIFY(setRoot("_NET_ACTIVE_WINDOW", "0"));
        QTRY_COMPARE(spy.size(), 3);
        QCOMPARE(nameOf(spy, 2), QStringLiteral("<none>"));
        QTest::qWait(2 * int(ActivationSource::kSettleDelay.count()));
        QCOMPARE(spy.size(), 3);
    }

    void windowThatVanishes() {
        TestWindows windows;
        const QString alpha = windows.start("xterm", {"-class", "Alpha"}, "Alpha");
        const QString beta = windows.start("xterm", {"-class", "Beta"}, "Beta");
        const QString doomed = windows.start("xterm", {"-class", "Doomed"}, "Doomed");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty() && !doomed.isEmpty());
        windows.last()->kill();
        windows.last()->waitForFinished(2000);
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        QVERIFY(TestWindows::activate(beta));
        QTRY_VERIFY(!spy.isEmpty() && nameOf(spy, spy.size() - 1) == "Beta");
        // A window that is gone by the time it is announced yields nothing, and no error.
        QVERIFY(setRoot("_NET_ACTIVE_WINDOW", doomed));
        QTest::qWait(100);
        QVERIFY(setRoot("_NET_ACTIVE_WINDOW", alpha));
        QTRY_VERIFY(nameOf(spy, spy.size() - 1) == "Alpha");
        for (qsizetype i = 0; i < spy.size(); ++i)
            QVERIFY(nameOf(spy, i) != QStringLiteral("Doomed"));
    }

    // A closed window's id can be handed to a later window: that one is a new activation.
    void reusedWindowIds() {
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        for (const QString cls : {"Alpha", "Beta", "Alpha"}) {
            TestWindows windows;
            const QString window = windows.start("xterm", {"-class", cls}, cls);
            QVERIFY(!window.isEmpty());
            QVERIFY(TestWindows::activate(window));
            QTRY_VERIFY(!spy.isEmpty() && nameOf(spy, spy.size() - 1) == cls);
        }
    }

    void classThatArrivesLate() {
        TestWindows windows;
        QSignalSpy spy(source.get(), &ActivationSource::applicationActivated);
        const QString alpha = windows.start("xterm", {"-class", "Alpha"}, "Alpha");
        const QString beta = windows.start("xterm", {"-class", "Beta"}, "Beta");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty());
        QVERIFY(TestWindows::activate(beta));
        QTRY_VERIFY(!spy.isEmpty() && nameOf(spy, spy.size() - 1) == "Beta");
        spy.clear();
        QVERIFY(desktop::run("xprop", {"-id", alpha, "-remove", "WM_CLASS"}).has_value());
        QVERIFY(TestWindows::activate(alpha));
        QTest::qWait(200); // nothing can be named yet
        QVERIFY(spy.isEmpty());
        QVERIFY(desktop::run("xprop",
                             {"-id", alpha, "-f", "WM_CLASS", "8s", "-set", "WM_CLASS", "Alpha"})
                    .has_value());
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(nameOf(spy, 0), QStringLiteral("Alpha"));
    }
};

QTEST_GUILESS_MAIN(TestActivation)
#include "test_activation.moc"
