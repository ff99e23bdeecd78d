// The build installed under a temporary prefix and packaged for Debian, as the README says.
#include <QtTest>

const QStringList kInstalled{"lib/vellora/Vellora.app/Contents/MacOS/Vellora",
                             "lib/vellora/Vellora.app/Contents/Library/LoginItems/"
                             "VelloraLaunch.app/Contents/MacOS/VelloraLaunch",
                             "share/applications/" VELLORA_BUNDLE_ID ".desktop",
                             "share/icons/hicolor/scalable/apps/" VELLORA_BUNDLE_ID ".svg"};

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

private slots:
    void installedTreeAndDebianPackage() {
        const QString prefix = dir.filePath("usr/");
        QVERIFY2(run(CMAKE_COMMAND, {"--install", BUILD_DIR, "--prefix", prefix}), qPrintable(out));
        for (const QString& file : kInstalled)
            QVERIFY2(QFile::exists(prefix + file), qPrintable(file));
        QVERIFY(
            run("grep", {"-Fx", "Exec=\"" + prefix + kInstalled[0] + '"', prefix + kInstalled[2]}));
        QVERIFY2(run("desktop-file-validate", {prefix + kInstalled[2]}), qPrintable(out));
        qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8()); // not the running session's Vellora
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        QProcess vellora;
        vellora.start(prefix + kInstalled[0]);
        QByteArray s; // until the last line of its start-up
        QTRY_VERIFY_WITH_TIMEOUT((s += vellora.readAllStandardOutput()).contains("fet\n"), 20000);
        QVERIFY(run(CPACK_COMMAND,
                    {"-G", "DEB", "--config", BUILD_DIR "/CPackConfig.cmake", "-B", dir.path()}));
        QVERIFY(
            run("sh", {"-c", "dpkg-deb -I \"$0\"/*.deb && dpkg-deb -c \"$0\"/*.deb", dir.path()}));
        QVERIFY(
            out.contains(QRegularExpression("Depends: qt6-qpa-plugins.*libpulse0.*qt6widgets6")));
        for (const QString& file : kInstalled)
            QVERIFY2(out.contains(" ./usr/" + file + '\n'), qPrintable(file));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
