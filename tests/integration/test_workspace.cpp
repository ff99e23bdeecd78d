// Bundles and running processes, with a fixture bundle whose program really runs.
#include "core/Bundle.h"
#include "platform/linux/LinuxWorkspace.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

using namespace vellora;

namespace {

const char* const kPlist =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<dict>\n"
    "    <key>CFBundleIdentifier</key>\n"
    "    <string>com.vellora.tests.Fixture</string>\n"
    "    <key>CFBundleName</key>\n"
    "    <string>Fixture &amp; Co</string>\n"
    "    <key>CFBundleVersion</key>\n"
    "    <string>1.3</string>\n"
    "    <key>LSUIElement</key>\n"
    "    <true/>\n"
    "    <key>CFBundleURLTypes</key>\n"
    "    <array><dict><key>Nested</key><string>ignored</string></dict></array>\n"
    "    <key>Build</key>\n"
    "    <integer>42</integer>\n"
    "</dict>\n"
    "</plist>\n";

} // namespace

class TestWorkspace : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString bundlePath;
    QString executable;

private slots:
    void initTestCase() {
        bundlePath = dir.filePath("Fixture.app");
        QVERIFY(QDir().mkpath(bundlePath + "/Contents/MacOS"));
        QVERIFY(QDir().mkpath(bundlePath + "/Contents/Resources"));
        QFile plist(bundlePath + "/Contents/Info.plist");
        QVERIFY(plist.open(QIODevice::WriteOnly));
        plist.write(kPlist);
        plist.close();
        QFile doc(bundlePath + "/Contents/Resources/Acknowledgments.pdf");
        QVERIFY(doc.open(QIODevice::WriteOnly));
        doc.close();
        // A real program, copied into the bundle, so /proc names the bundle's file.
        executable = bundlePath + "/Contents/MacOS/Fixture";
        QVERIFY(QFile::copy("/bin/sleep", executable));
    }

    void infoDictionary() {
        const auto bundle = Bundle::containing(executable);
        QVERIFY(bundle);
        QCOMPARE(bundle->path(), bundlePath);
        const QVariantMap info = bundle->infoDictionary();
        QCOMPARE(info.value("CFBundleIdentifier").toString(), "com.vellora.tests.Fixture");
        QCOMPARE(info.value("CFBundleName").toString(), "Fixture & Co");
        QCOMPARE(info.value("CFBundleVersion").toString(), "1.3");
        QCOMPARE(info.value("LSUIElement").toBool(), true);
        QCOMPARE(info.value("Build").toLongLong(), 42);
        QVERIFY(!info.contains("Nested"));
        QCOMPARE(bundle->pathForResource("Acknowledgments", "pdf"),
                 bundlePath + "/Contents/Resources/Acknowledgments.pdf");
        QVERIFY(bundle->pathForResource("Missing", "pdf").isEmpty());
    }

    void notABundle_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("plain program") << "/bin/sleep";
        QTest::newRow("MacOS outside a bundle") << dir.filePath("x/Contents/MacOS/x");
        QTest::newRow("root") << "/";
    }
    void notABundle() {
        QFETCH(QString, path);
        QVERIFY(!Bundle::containing(path));
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
        // Launched detached, through the workspace, a second instance is found as well.
        QVERIFY(workspace.launchApplication(executable, {"30"}));
        QTRY_COMPARE(count(), 2);
        for (const RunningProcess& p : workspace.runningApplications()) {
            if (p.bundleIdentifier && p.pid != first.processId() && p.executable == executable)
                ::kill(pid_t(p.pid), SIGTERM);
        }
        first.kill();
        first.waitForFinished();
        QTRY_COMPARE(count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWorkspace)
#include "test_workspace.moc"
