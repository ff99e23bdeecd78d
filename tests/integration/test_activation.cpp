// Activations on a real X server (Xvfb + openbox), named through real desktop entries: a change
// of application, never of window; no window in front counts once it lasts.
#include "base/HandOver.h"
#include "base/WorkerThread.h"
#include "core/ActivationFilter.h"
#include "platform/linux/GioDesktopEntries.h"
#include "platform/linux/X11ActivationSource.h"
#include "support/Windows.h"

#include <QtTest>
#include <ranges>

using namespace vellora;
using namespace Qt::StringLiterals;
using Front = std::optional<RunningApplication>;

class TestActivation : public QObject {
    Q_OBJECT

    // The program's source asks the reader on its own thread; these sources, on either thread,
    // ask the index it publishes to.
    DesktopEntryIndex entries;
    GioDesktopEntries reader{entries};
    WorkerThread worker{u"activations"_s}; // the source runs there, as in the program
    X11ActivationSource* source = new X11ActivationSource(entries); // deleted there at the end
    ActivationFilter* activations = new ActivationFilter(*source, source); // ends with it
    const int kSettled = 2 * int(ActivationFilter::kSettleDelay.count());

    // What was reported, in order: applications by name, "<none>" for none in front.
    static QStringList reported(const QSignalSpy& spy) {
        QStringList names;
        for (const QList<QVariant>& args : spy) {
            const auto app = args[0].value<Front>();
            names << (app ? app->localizedName.value_or("<unnamed>") : "<none>");
        }
        return names;
    }
    static QString last(const QSignalSpy& spy) { return reported(spy).value(spy.size() - 1); }
    static auto xprop(const QString& args) { return desktop::run("xprop", args.split(' ')); }
    static auto setActive(const QString& window) {
        return xprop("-root -f _NET_ACTIVE_WINDOW 32x -set _NET_ACTIVE_WINDOW " + window);
    }
    static auto xterm(TestWindows& w, QString c) { return w.start("xterm", {"-class", c}, c); }

Q_SIGNALS:
    void relayed(const std::optional<vellora::RunningApplication>& application); // from worker

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
        QVERIFY(source->isAvailable());
        reader.installed(); // read now, published before the source first looks
        // Handed over as the program hands activations to its switch.
        connect(
            activations, &ActivationFilter::applicationActivated, this,
            [this](const auto& application) {
                vellora::handover::post(this, [this, application] { Q_EMIT relayed(application); });
            },
            Qt::DirectConnection);
        connect(worker.thread(), &QThread::finished, source, &QObject::deleteLater);
        source->moveToThread(worker.thread());
    }
    // Every test starts with nothing in front, settled.
    void init() {
        QVERIFY(setActive("0"));
        QTest::qWait(kSettled);
    }

    void names_data() {
        QTest::addColumn<QString>("wmClass");
        QTest::addColumn<QString>("name");
        QTest::newRow("StartupWMClass") << u"Alpha"_s << u"Alpha"_s;
        QTest::newRow("desktop-file id") << u"gamma"_s << u"Gamma Writer"_s;
        QTest::newRow("default file manager") << u"VelloraFiles"_s << u"Finder"_s;
    }
    void names() {
        QFETCH(QString, wmClass);
        QFETCH(QString, name);
        TestWindows windows;
        QSignalSpy spy(this, &TestActivation::relayed);
        QVERIFY(TestWindows::activate(xterm(windows, wmClass)));
        QTRY_COMPARE(last(spy), name);
        QCOMPARE(spy.last().at(0).value<Front>()->pid, windows.last()->processId());
    }

    // A repeat, another window of the same application, and no window for an instant on the way
    // to another are no activation; no window that lasts is one without an application, once.
    void applicationsNotWindows() {
        TestWindows windows;
        const QString alpha = xterm(windows, "Alpha"), beta = xterm(windows, "Beta");
        windows.start("xterm", {"-class", "Alpha", "-title", "second"}, "Alpha");
        const auto second = desktop::run("xdotool", {"search", "--sync", "--name", "^second$"});
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty() && second);
        QVERIFY(TestWindows::activate(second->trimmed()));
        init(); // the windows took the focus as they came up
        QSignalSpy spy(this, &TestActivation::relayed);
        for (const QString& window : {alpha, alpha, second->trimmed(), u"0"_s, beta, u"0"_s}) {
            QVERIFY(setActive(window));
            QTest::qWait(30); // each step is seen on its own
        }
        QTest::qWait(3 * kSettled);
        QCOMPARE(reported(spy), QStringList({"Alpha", "Beta", "<none>"}));
    }

    // What is in front as a source starts is where switching starts from: another window of
    // that application is no switch.
    void startIsNoSwitch() {
        TestWindows windows;
        const QString alpha = xterm(windows, "Alpha"), beta = xterm(windows, "Beta");
        windows.start("xterm", {"-class", "Alpha", "-title", "other"}, "Alpha");
        const auto other = desktop::run("xdotool", {"search", "--sync", "--name", "^other$"});
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty() && other);
        QVERIFY(TestWindows::activate(alpha));
        X11ActivationSource fresh(entries);
        ActivationFilter filter(fresh);
        QSignalSpy spy(&filter, &ActivationFilter::applicationActivated);
        for (const QString& window : {other->trimmed(), beta}) {
            QVERIFY(setActive(window));
            QTest::qWait(kSettled); // each step is seen on its own
        }
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].value<Front>()->localizedName, "Beta");
    }

    // A window gone by the time it is announced is no application; one whose class comes late
    // is none until its class arrives. (Followed by a source that never saw these windows: a
    // window is what it was first seen as, until it is destroyed.)
    void unrulyWindows() {
        TestWindows windows;
        const QString doomed = xterm(windows, "Doomed");
        const QString alpha = xterm(windows, "Alpha"), beta = xterm(windows, "Beta");
        // Closed after the others started, so that they cannot take its id.
        QVERIFY(desktop::run("xdotool", {"windowkill", doomed}));
        QVERIFY(xprop("-id " + alpha + " -remove WM_CLASS"));
        init(); // nothing in front, now that the windows are up
        X11ActivationSource fresh(entries);
        ActivationFilter filter(fresh);
        QSignalSpy spy(&filter, &ActivationFilter::applicationActivated);
        QCoreApplication::processEvents(); // its first look: nothing in front
        for (const QString& window : {beta, doomed, beta, alpha}) {
            QVERIFY(setActive(window));
            QTRY_COMPARE(last(spy), window == beta ? u"Beta"_s : u"<none>"_s);
        }
        QVERIFY(xprop("-id " + alpha + " -f WM_CLASS 8s -set WM_CLASS Alpha"));
        QTRY_COMPARE(reported(spy), QStringList({"Beta", "<none>", "Beta", "<none>", "Alpha"}));
    }

    // A window already seen is named again once the desktop entries change, as the list now
    // names its application.
    void namedAgainAfterEntriesChange() {
        TestWindows windows;
        const QString late = xterm(windows, "LateEntry"), beta = xterm(windows, "Beta");
        QSignalSpy spy(this, &TestActivation::relayed);
        QVERIFY(TestWindows::activate(late));
        QTRY_VERIFY(!spy.isEmpty() && last(spy) != "Beta");
        QCOMPARE_NE(last(spy), "Late Entry");
        QFile entry(qEnvironmentVariable("XDG_DATA_HOME") + "/applications/late-entry.desktop");
        const auto removed = qScopeGuard([&entry] { entry.remove(); });
        QVERIFY(entry.open(QIODevice::WriteOnly) &&
                entry.write("[Desktop Entry]\nType=Application\nName=Late Entry\nExec=xterm\n"
                            "StartupWMClass=LateEntry\n") > 0);
        entry.close();
        const auto names = std::views::transform(&DesktopEntry::name);
        QTRY_VERIFY_WITH_TIMEOUT(
            std::ranges::count(entries.installed()->entries | names, "Late Entry"), 10000);
        for (const QString& window : {beta, late})
            QVERIFY(TestWindows::activate(window));
        QTRY_COMPARE(last(spy), "Late Entry");
    }

    // A closed window's id can be handed to a later window: that one is a new activation.
    void reusedWindowIds() {
        QSignalSpy spy(this, &TestActivation::relayed);
        for (const QString cls : {"Alpha", "Beta", "Alpha"}) {
            TestWindows windows;
            QVERIFY(TestWindows::activate(xterm(windows, cls)));
            QTRY_COMPARE(last(spy), cls);
        }
    }
};

QTEST_GUILESS_MAIN(TestActivation)
#include "test_activation.moc"
