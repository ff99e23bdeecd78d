// The build installed under a temporary prefix and packaged for Debian, as the README says.
#include <QImage>
#include <QtTest>

const QStringList kInstalled{
    "lib/vellora/Vellora.app/Contents/MacOS/Vellora",
    "lib/vellora/Vellora.app/Contents/Library/LoginItems/"
    "VelloraLaunch.app/Contents/MacOS/VelloraLaunch",
    "share/applications/" VELLORA_BUNDLE_ID ".desktop",
    "share/icons/hicolor/scalable/apps/" VELLORA_BUNDLE_ID ".svg",
    "share/icons/hicolor/256x256/apps/" VELLORA_BUNDLE_ID ".png",
    "lib/vellora/Vellora.app/Contents/Resources/vellora-activation.js",
    "share/gnome-shell/extensions/vellora@vellora.app/extension.js",
    "share/gnome-shell/extensions/vellora-legacy@vellora.app/metadata.json"};

class TestInstall : public QObject {
    Q_OBJECT
    QTemporaryDir dir; // private to the user: also the started program's runtime folder
    QString out;

    bool run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        const bool done = p.waitForFinished(180000) && p.exitStatus() == QProcess::NormalExit;
        out = p.readAll();
        return done && p.exitCode() == 0;
    }

private Q_SLOTS:
    // The acknowledgements keep every component on every page; the icons come at their size.
    void bundleResources() {
        const QString res = BUILD_DIR "/Vellora.app/Contents/Resources/";
        QVERIFY2(run("pdftotext", {res + "Acknowledgments.pdf", "-"}), qPrintable(out));
        for (const char* name : {"Qt 6", "PulseAudio", "GLib", "XCB", "libxkbcommon", "OpenSSL",
                                 "D-Bus", "glibc", "libstdc++", "FreeType", "DejaVu"})
            QVERIFY2(out.contains(name), name);
        for (const auto& [image, size] :
             {std::pair{"AppIcon", 48}, {"AppIcon", 256}, {"StatusBarButtonImage", 22}}) {
            const QImage icon(res + image + '-' + QString::number(size) + ".png");
            QCOMPARE(icon.size(), QSize(size, size));
            QVERIFY(icon.pixelColor(size / 2, size / 2).alpha() > 0); // drawn, not blank
        }
    }
    void installedTreeAndDebianPackage() {
        const QString prefix = dir.filePath("usr/");
        QVERIFY2(run(CMAKE_COMMAND, {"--install", BUILD_DIR, "--prefix", prefix}), qPrintable(out));
        for (const QString& file : kInstalled)
            QVERIFY2(QFile::exists(prefix + file), qPrintable(file));
        QVERIFY(
            run("grep", {"-Fx", "Exec=\"" + prefix + kInstalled[0] + '"', prefix + kInstalled[2]}));
        QVERIFY2(run("desktop-file-validate", {prefix + kInstalled[2]}), qPrintable(out));
        // Without a display, the installed program tells the version its bundle declares.
        QVERIFY(run("grep", {"-A1", "CFBundleVersion",
                             prefix + "lib/vellora/Vellora.app/Contents/Info.plist"}));
        const QString declared = out.section("<string>", 1).section("</string>", 0, 0);
        QVERIFY(run("env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", prefix + kInstalled[0],
                            "--version"}));
        QCOMPARE(out, "Vellora " + declared + '\n');
        qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8()); // not the running session's Vellora
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        QProcess bus; // a session bus of its own, where the command finds the program
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QVERIFY(bus.waitForReadyRead(10000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        QProcess vellora;
        vellora.start(prefix + kInstalled[0]);
        QByteArray s; // until the last line of its start-up
        QTRY_VERIFY_WITH_TIMEOUT((s += vellora.readAllStandardOutput()).contains("fet\n"), 20000);
        // The command on the PATH is the installed program's: it reaches the running one.
        QTRY_VERIFY_WITH_TIMEOUT(run(prefix + "bin/vellora", {"--status"}), 10000);
        QVERIFY2(out.contains("switching: on\n"), qPrintable(out));
        vellora.terminate(), vellora.waitForFinished(5000), bus.terminate(), bus.waitForFinished();
        QVERIFY(run(CPACK_COMMAND,
                    {"-G", "DEB", "--config", BUILD_DIR "/CPackConfig.cmake", "-B", dir.path()}));
        const QString deb = dir.filePath(QDir(dir.path()).entryList({"*.deb"}).value(0));
        QVERIFY(run("dpkg-deb", {"-I", deb}));
        const QString control = out;
        QVERIFY(control.contains(
            QRegularExpression("Depends: qt6-qpa-plugins.*libpulse0.*qt6widgets6")));
        // The SVG plug-in is loaded, not linked: its package (which differs between releases)
        // must be named all the same.
        QVERIFY(run("dpkg-query", {"-S", QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                                             "/imageformats/libqsvg.so"}));
        QVERIFY2(control.contains(out.section(':', 0, 0)), qPrintable(control));
        QVERIFY(run("dpkg-deb", {"-c", deb}));
        for (const QString& file : kInstalled)
            QVERIFY2(out.contains(" ./usr/" + file + '\n'), qPrintable(file));
        QVERIFY(out.contains(" ./usr/bin/vellora -> ../" + kInstalled[0] + '\n'));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
