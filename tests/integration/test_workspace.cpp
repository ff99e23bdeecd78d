// Bundles and running processes, with a fixture bundle whose program really runs.
#include "core/Bundle.h"
#include "platform/linux/LinuxWorkspace.h"

#include <QtTest>

using namespace vellora;

// Entities, a Boolean, a number, and a nested dictionary that must not leak into the top level.
const char* const kPlist =
    "<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE plist PUBLIC '-//Apple//DTD PLIST 1.0//EN' "
    "'http://www.apple.com/DTDs/PropertyList-1.0.dtd'>\n<plist version='1.0'><dict>\n"
    "<key>CFBundleIdentifier</key><string>com.vellora.tests.Fixture</string>\n"
    "<key>CFBundleName</key><string>Fixture &amp; Co</string><key>LSUIElement</key><true/>\n"
    "<key>CFBundleURLTypes</key><array><dict><key>Nested</key><string>x</string></dict></array>\n"
    "<key>Build</key><integer>42</integer>\n</dict></plist>\n";

class TestWorkspace : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString bundlePath = dir.filePath("Fixture.app");
    QString executable = bundlePath + "/Contents/MacOS/Fixture";

private slots:
    void initTestCase() {
        QVERIFY(QDir().mkpath(bundlePath + "/Contents/MacOS"));
        QVERIFY(QDir().mkpath(bundlePath + "/Contents/Resources"));
        QFile plist(bundlePath + "/Contents/Info.plist");
        QVERIFY(plist.open(QIODevice::WriteOnly) && plist.write(kPlist) > 0);
        QFile doc(bundlePath + "/Contents/Resources/Acknowledgments.pdf");
        QVERIFY(doc.open(QIODevice::WriteOnly));
        // A real program, copied into the bundle, so /proc names the bundle's file.
        QVERIFY(QFile::copy("/bin/sleep", executable));
    }

    void infoDictionary() {
        const auto bundle = Bundle::containing(executable);
        QVERIFY(bundle);
        QCOMPARE(bundle->path(), bundlePath);
        const QVariantMap info = bundle->infoDictionary();
        QCOMPARE(info.value("CFBundleName").toString(), "Fixture & Co");
        QCOMPARE(info.value("LSUIElement"), QVariant(true));
        QCOMPARE(info.value("Build").toLongLong(), 42);
        QVERIFY(!info.contains("Nested"));
        QCOMPARE(bundle->pathForResource("Acknowledgments", "pdf"),
                 bundlePath + "/Contents/Resources/Acknowledgments.pdf");
        QVERIFY(bundle->pathForResource("Missing", "pdf").isEmpty());
        QVERIFY(!Bundle::containing(dir.filePath("x/Contents/MacOS/x"))); // no Info.plist
        QVERIFY(!Bundle::containing("/"));
    }

    void runningFromABundle() {
        LinuxWorkspace workspace;
        auto count = [&] {
            int n = 0;
            for (const RunningProcess& p : workspace.runningApplications())
                n += p.bundleIdentifier == std::optional<QString>("com.vellora.tests.Fixture");
            return n;
        };
        QCOMPARE(count(), 0);
        QProcess first;
        first.start(executable, {"30"});
        QVERIFY(first.waitForStarted());
        QCOMPARE(count(), 1);
        // Launched detached, through the workspace, a second one is found as well (it ends soon).
        QVERIFY(workspace.launchApplication(executable, {"2"}));
        QTRY_COMPARE(count(), 2);
        first.kill();
        first.waitForFinished();
        QTRY_COMPARE(count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWorkspace)
#include "test_workspace.moc"
