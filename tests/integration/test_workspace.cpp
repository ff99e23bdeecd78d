// A fixture bundle: found from its program, its Info.plist read, its resources. (Running
// programs found by their bundle, and launched, are the launcher suite's.)
#include "base/Bundle.h"

#include <QtTest>

using namespace vellora;

// A DOCTYPE, entities, a Boolean, a number, and a nested dictionary that must not leak out.
const char* const kPlist =
    "<?xml version='1.0'?><!DOCTYPE plist PUBLIC '-//Apple//DTD PLIST 1.0//EN' 'http://www.apple"
    ".com/DTDs/PropertyList-1.0.dtd'><plist version='1.0'><dict><key>Build</key><integer>42"
    "</integer><key>CFBundleIdentifier</key><string>test.Fixture</string><key>CFBundleURLTypes"
    "</key><array><dict><key>Nested</key><string>x</string></dict></array><key>CFBundleName</key>"
    "<string>Fixture &amp; Co</string><key>LSUIElement</key><true/></dict></plist>";

class TestWorkspace : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString contents = dir.filePath("Fixture.app/Contents/");

private Q_SLOTS:
    void fixtureBundle() {
        QVERIFY(QDir(contents).mkpath("MacOS") && QDir(contents).mkpath("Resources"));
        const QString executable = contents + "MacOS/Fixture";
        QVERIFY(QFile::copy("/bin/sleep", executable));
        QVERIFY(!Bundle::containing(executable)); // not without its Info.plist
        QFile plist(contents + "Info.plist");
        QVERIFY(plist.open(QIODevice::WriteOnly) && plist.write(kPlist) > 0 && plist.flush());
        const QString resource = contents + "Resources/Acknowledgments.pdf";
        QVERIFY(QFile::copy(plist.fileName(), resource));

        const auto bundle = Bundle::containing(executable);
        QVERIFY(bundle && bundle->path() == dir.filePath("Fixture.app"));
        const QVariantMap info = bundle->infoDictionary();
        QCOMPARE(info.keys().join(' '), "Build CFBundleIdentifier CFBundleName LSUIElement");
        QCOMPARE(info.values(), QVariantList({42LL, "test.Fixture", "Fixture & Co", true}));
        QCOMPARE(bundle->pathForResource("Acknowledgments", "pdf"), resource);
        QVERIFY(bundle->pathForResource("Missing", "pdf").isEmpty());
        QVERIFY(!Bundle::containing("/"));
    }
};

QTEST_GUILESS_MAIN(TestWorkspace)
#include "test_workspace.moc"
