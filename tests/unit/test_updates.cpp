// Update checks against a loopback HTTP server of the test's own, their schedule, and About.
#include "base/Diagnostics.h"
#include "core/NotificationCenter.h"
#include "core/Version.h"
#include "panels/About.h"
#include "panels/Alert.h"
#include "panels/OptionsMenu.h"
#include "panels/Popover.h"
#include "panels/Updater.h"
#include "platform/Workspace.h"
#include "support/UiHarness.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimeZone>

using namespace vellora;

namespace {
// Answers every request with `reply` (nothing at all while it is empty); remembers requests.
struct FeedServer : QTcpServer {
    QByteArray reply;
    QList<QByteArray> requests;
    FeedServer() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* s = nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [this, s] {
                if (!s->peek(1 << 16).contains("\r\n\r\n"))
                    return;
                requests << s->readAll();
                if (!reply.isEmpty())
                    s->write(reply), s->disconnectFromHost();
            });
        });
    }
    QUrl url(const char* path = "/feed.xml") const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
    }
    static QByteArray ok(const QByteArray& body, const QByteArray& length = {}) {
        return "HTTP/1.1 200 OK\r\nConnection: close\r\n" +
               (length.isNull() ? "Content-Length: " + QByteArray::number(body.size()) : length) +
               "\r\n\r\n" + body;
    }
};

QByteArray feed(const QByteArray& items) {
    return "<?xml version='1.0'?><rss version='2.0' "
           "xmlns:sparkle='http://www.andymatuschak.org/xml-namespaces/sparkle'><channel>"
           "<title>Vellora</title>" +
           items + "</channel></rss>";
}

struct Answers : AlertPresenter, Workspace {
    QList<AlertSpec> shown;
    int answer = kFirstButton;
    bool opens = true;
    QList<QUrl> urls;
    QStringList documents;
    int runModal(const AlertSpec& a) override { return shown << a, answer; }
    QList<RunningProcess> runningApplications() override { return {}; }
    bool launchApplication(const QString&, const QStringList&) override { return false; }
    bool openUrl(const QUrl& url) override { return urls << url, opens; }
    bool openDocument(const QString& path) override { return documents << path, opens; }
};

struct Harness : UiHarness {
    Answers answers;
    DiagnosticCapture said; // the lines the list's controller writes as the updater's delegate
    QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(12, 0), QTimeZone::utc());
    std::unique_ptr<Updater> updater;
    FeedServer server;
    Harness() { restart(); }
    void restart() {
        const FeedRequest::Limits limits{std::chrono::milliseconds(400), 64 * 1024};
        updater = std::make_unique<Updater>(
            Updater::Services{*store.defaults, answers, &answers, "1.10", clock, limits});
        controller.followUpdater(*updater);
        updater->setFeedURL(server.url());
    }
    std::function<QDateTime()> clock = [this] { return now; };
};
} // namespace

class TestUpdates : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versions() {
        const QList<std::tuple<QString, QString, int>> rows = {
            {"1.10", "1.9", 1},      {"1.0", "1.0.0", 0},
            {"1.0.1", "1.0", 1},     {"1.0b2", "1.0", -1},
            {"1.0b2", "1.0b10", -1}, {"1.0.1", "1.0b1", 1},
            {"2.0rc1", "2.0b3", 1},  {"1-2", "1.2", 0},
            {"007", "7", 0},         {"99999999999999999999", "99999999999999999998", 1},
            {"", "0.1", -1}};
        for (const auto& [a, b, order] : rows)
            QVERIFY2(compareVersions(a, b) == order && compareVersions(b, a) == -order,
                     qPrintable(a + " vs " + b));
    }

    // A check the user asks for: the lines written and the dialog, for feeds good and bad and
    // servers that misbehave.
    void userCheck_data() {
        QTest::addColumn<QByteArray>("reply"); // "redirect": to plain HTTP
        QTest::addColumn<QString>("found");    // what the delegate heard last, or "" for nothing
        QTest::addColumn<QString>("dialog");   // the dialog's message, or what its text says
        const auto item = [](const char* v, const char* extra = "") {
            return QByteArray("<item><title>Vellora</title><link>https://vellora.app/get</link>"
                              "<enclosure url='https://vellora.app/V.tar' sparkle:version='") +
                   v + "'/>" + extra + "</item>";
        };
        const QByteArray outOfOrder =
            item("1.9") +
            "<item><sparkle:version>1.12</sparkle:version><sparkle:"
            "shortVersionString>1.12 beta</sparkle:shortVersionString></item>" +
            item("1.11") + "<item><title>no version</title></item>";
        QTest::newRow("newer") << FeedServer::ok(feed(item("1.11"))) << "didFindValidUpdate"
                               << "Vellora 1.11 is now available";
        QTest::newRow("equal") << FeedServer::ok(feed(item("1.10.0"))) << "updaterDidNotFindUpdate"
                               << "You\u2019re up to date!";

        QTest::newRow("out of order") << FeedServer::ok(feed(outOfOrder)) << "didFindValidUpdate"
                                      << "Vellora 1.12 beta is now available";
        QTest::newRow("empty feed") << FeedServer::ok(feed("")) << "updaterDidNotFindUpdate"
                                    << "You\u2019re up to date!";
        QTest::newRow("malformed") << FeedServer::ok(feed(item("1.11")).chopped(9)) << ""
                                   << "could not be read";
        QTest::newRow("not a feed") << FeedServer::ok("<html><body>Sign in</body></html>") << ""
                                    << "not an RSS feed";
        QTest::newRow("404, long reason")
            << "HTTP/1.1 404 Not Found " + QByteArray(3000, 'x') + "\r\nContent-Length: 0\r\n\r\n"
            << ""
            << "answered 404 Not Found";
        QTest::newRow("oversized, announced") << FeedServer::ok(feed(QByteArray(70000, ' '))) << ""
                                              << "larger than";
        QTest::newRow("oversized, unannounced")
            << FeedServer::ok(QByteArray(70000, ' '), "X: y") << ""
            << "larger than";
        QTest::newRow("never answers") << QByteArray() << ""
                                       << "did not answer within 0.4 seconds";
        QTest::newRow("redirect") << QByteArray("redirect") << ""
                                  << "insecure address";
        QTest::newRow("cut short")
            << FeedServer::ok(feed(item("1.11")), "Content-Length: 5000") << ""
            << "broke off";
    }
    void userCheck() {
        QFETCH(QByteArray, reply);
        QFETCH(QString, found);
        QFETCH(QString, dialog);
        Harness h;
        h.server.reply = reply != "redirect"
                             ? reply
                             : "HTTP/1.1 302 Found\r\nContent-Length: 0\r\nLocation: " +
                                   h.server.url("/plain.xml").toEncoded() + "\r\n\r\n";
        QSignalSpy finished(h.updater.get(), &Updater::checkFinished);
        h.updater->checkForUpdates();
        QVERIFY(finished.wait(5000));
        QCOMPARE(h.server.requests.size(), 1); // a redirect to plain HTTP is not followed
        // Header names are case-insensitive; Qt 6.8 sends them in lower case.
        static const QRegularExpression userAgent(
            QStringLiteral("\r\n(?i:user-agent): Vellora/1\\.10\r\n"));
        QVERIFY(QString::fromLatin1(h.server.requests[0]).contains(userAgent));
        const QStringList heard{"didFinishLoadingAppcast", "Vellora/1.10", found};
        QCOMPARE(h.said.lines, found.isEmpty() ? QStringList() : heard);
        const AlertSpec shown = h.answers.shown.size() == 1 ? h.answers.shown[0] : AlertSpec{};
        QVERIFY2((shown.messageText + shown.informativeText).contains(dialog) &&
                     shown.informativeText.size() < 200, // a sentence, not what a server sent
                 qPrintable(shown.messageText + " / " + shown.informativeText));
        QCOMPARE( // Download opens the item's page
            h.answers.urls, found == "didFindValidUpdate" && !dialog.contains("beta")
                                ? QList<QUrl>{QUrl("https://vellora.app/get")}
                                : QList<QUrl>{});
    }

    // Addresses that must not be fetched, and pages a hostile feed must not get opened.
    void unsafeAddresses() {
        Harness h;
        h.updater->setFeedURL(QUrl("http://vellora.app/downloads/VelloraAppCast.xml"));
        QSignalSpy finished(h.updater.get(), &Updater::checkFinished);
        h.updater->checkForUpdates();
        QVERIFY(finished.wait(5000));
        QVERIFY(h.answers.shown.value(0).informativeText.contains("not a secure HTTPS address"));
        QVERIFY(FeedRequest::refusal(QUrl("http://[::1]:8/x")).isEmpty());

        h.updater->setFeedURL(h.server.url());
        h.server.reply = FeedServer::ok(
            feed("<item><link>file:///etc/passwd</link><enclosure url='javascript:alert(1)' "
                 "sparkle:version='2'/><sparkle:shortVersionString>2&#10;" +
                 QByteArray(9000, '9') + "</sparkle:shortVersionString></item>"));
        h.updater->checkForUpdates();
        QVERIFY(finished.wait(5000));
        QCOMPARE(h.answers.shown.value(1).buttons, QStringList{"OK"});
        QCOMPARE(h.answers.shown.value(1).informativeText, // one line, not a page long
                 "Vellora 2 " + QString(37, '9') + "\u2026 is now available\u2014you have 1.10.");
        QVERIFY(h.answers.urls.isEmpty());
    }

    // Automatic checks, by an injected clock: due at once when never made, then one per
    // interval, quiet, none while off, and the stored time kept across a restart.
    void schedule() {
        Harness h;
        h.server.reply = FeedServer::ok(feed("<item><enclosure sparkle:version='2.0'/></item>"));
        h.updater->setUpdateCheckInterval(86400);
        QVERIFY(!h.updater->nextCheckTime());
        h.updater->checkIfDue();
        QVERIFY(!h.updater->isChecking());

        QSignalSpy quiet(h.updater.get(), &Updater::updateFoundQuietly);
        h.updater->setAutomaticallyChecksForUpdates(true);
        QVERIFY(quiet.wait(5000)); // by the timer
        QCOMPARE(h.answers.shown.size(), 0);
        const QDateTime first = h.now;
        QCOMPARE(h.updater->nextCheckTime(), first.addDays(1));
        h.now = first.addSecs(86399);
        h.updater->checkIfDue();
        QVERIFY(!h.updater->isChecking());
        h.now = first.addDays(1);
        h.updater->checkIfDue();
        QVERIFY(h.updater->isChecking());
        QVERIFY(quiet.wait(5000));
        QCOMPARE(h.server.requests.size(), 2);

        h.now = first.addDays(1).addSecs(3600);
        h.restart();
        QCOMPARE(h.updater->nextCheckTime(), first.addDays(2));
        QVERIFY(!h.updater->isChecking());
        h.now = first.addDays(-30); // the clock set back: a day from now, not a month away
        h.updater->checkIfDue();
        QCOMPARE(h.updater->nextCheckTime(), h.now.addDays(1));
        h.now = h.now.addDays(1);
        h.updater->checkIfDue();
        h.server.reply = "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n";
        QVERIFY(h.updater->isChecking());
        QTRY_VERIFY(!h.updater->isChecking());
        QCOMPARE(h.updater->nextCheckTime(), h.now.addSecs(3600)); // failed: again within the hour
        h.now = h.now.addSecs(600);
        h.updater->checkForUpdates(); // a check called off says nothing, and does not count
        h.updater->cancelCheck();
        QVERIFY(!h.updater->isChecking() && h.answers.shown.isEmpty());
        QCOMPARE(h.updater->nextCheckTime(), h.now.addSecs(3600));

        h.updater->setAutomaticallyChecksForUpdates(false);
        h.now = first.addDays(9);
        h.updater->checkIfDue();
        QVERIFY(!h.updater->isChecking() && !h.updater->nextCheckTime());
    }

    // The menu's automatic item flips the option and always turns automatic downloads off.
    void menuToggle() {
        Harness h;
        int checks = 0;
        OptionsMenu menu(*h.store.defaults, h.policy, {false, h.updater.get()});
        connect(&menu, &OptionsMenu::checkForUpdatesChosen, this, [&] { ++checks; });
        h.store.defaults->setBool(Updater::kAutomaticDownloads, true);
        for (const bool on : {true, false}) {
            menu.newMenu();
            menu.menux()->actions().at(4)->trigger();
            QCOMPARE(h.updater->automaticallyChecksForUpdates(), on);
            QVERIFY(!h.updater->automaticallyDownloadsUpdates());
            QTRY_COMPARE(menu.titles().at(4).at(0), on ? QChar(0x2713) : QChar(' '));
        }
        menu.openMenu({10, 10}); // the key shown beside an item works in the open menu
        QTest::keyClick(menu.menux(), Qt::Key_U, Qt::ControlModifier);
        QTRY_VERIFY(checks == 1 && !menu.menux()->isVisible());
    }

    // About, answered by each button, from bundles with and without a version; and the real
    // dialog's buttons, in order, Return choosing Support.
    void about() {
        const QString page = "https://vellora.app/contact.html", v = "<string>1.3</string>";
        // Answer, the CFBundleVersion element, the support page, whether it opens, what is said.
        const QList<std::tuple<int, QString, QString, bool, QString>> rows{
            {1000, v, page, true, "url successfully opened"},
            {1000, v, page, false, ""},
            {1000, v, "https://bad host/contact.html", true, "invalid url"},
            {1001, v, page, true, "Second button"},
            {1002, "", page, true, ""},
            {1002, "<integer>13</integer>", page, true, ""}};
        for (const auto& [answer, plistVersion, support, opens, said] : rows) {
            auto tag =
                qScopeGuard([&] { QVERIFY2(!QTest::currentTestFailed(), qPrintable(said)); });
            QTemporaryDir dir;
            const QString app = dir.filePath("Vellora.app/Contents/");
            QDir().mkpath(app + "MacOS"), QDir().mkpath(app + "Resources");
            const QString pdf = QFileInfo(app + "Resources/Acknowledgments.pdf").absoluteFilePath();
            QFile plist(app + "Info.plist");
            QVERIFY(plist.open(QFile::WriteOnly) && QFile(pdf).open(QFile::WriteOnly));
            plist.write("<plist><dict><key>CFBundleName</key><string>Vellora</string><key>"
                        "CFBundleVersion</key>" +
                        plistVersion.toUtf8() + "</dict></plist>");
            plist.close();
            NotificationCenter center;
            int closed = 0;
            QObject observer;
            center.addObserver(notification::kClosePop, &observer, [&] { ++closed; });
            Answers answers;
            answers.answer = answer, answers.opens = opens;
            About about(
                {center, answers, &answers, Bundle::containing(app + "MacOS/Vellora"), support});
            DiagnosticCapture capture;
            about.dialogOKCancel2();
            QCOMPARE(closed, 1);
            const AlertSpec& shown = answers.shown.value(0);
            QCOMPARE(shown.buttons, (QStringList{"Support", "Acknowledgements", "OK"}));
            QCOMPARE(shown.informativeText.split('\n'),
                     (QStringList{"Vellora", plistVersion.startsWith("<s") ? "1.3" : "",
                                  About::kLegalNotice}));
            QCOMPARE(capture.lines, said.isEmpty() ? QStringList() : QStringList{said});
            QCOMPARE(answers.urls, answer == 1000 && !said.contains("invalid")
                                       ? QList<QUrl>{QUrl(support)}
                                       : QList<QUrl>{});
            QCOMPARE(answers.documents, answer == 1001 ? QStringList{pdf} : QStringList{});
        }
    }
    void aboutDialog() {
        for (const auto key : {Qt::Key_Return, Qt::Key_Escape}) {
            QStringList order;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                auto buttons = box->findChildren<QPushButton*>();
                std::sort(buttons.begin(), buttons.end(),
                          [](auto* a, auto* b) { return a->x() < b->x(); });
                for (auto* b : buttons)
                    order << b->text();
                QTest::keyClick(box, key);
            });
            MessageBoxAlerts alerts;
            const int chosen =
                alerts.runModal({"About", "x", {"Support", "Acknowledgements", "OK"}});
            QCOMPARE(order, (QStringList{"Support", "Acknowledgements", "OK"}));
            QCOMPARE(chosen, key == Qt::Key_Return ? 1000 : 1002);
        }
    }
};

QTEST_MAIN(TestUpdates)
#include "test_updates.moc"
