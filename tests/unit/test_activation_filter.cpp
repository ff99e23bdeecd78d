// Which of an activation source's reports are switches of application.
#include "core/ActivationFilter.h"

#include <QtTest>

using namespace vellora;

struct FakeSource : ActivationSource {
    bool isAvailable() const override { return true; }
    QString description() const override { return QStringLiteral("a test"); }
};

class TestActivationFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Steps, separated by "|": "S:A" the start, with A in front; "A" A in front ("-": none);
    // "R:A" A left and came back unseen; "O" a window of this program in front; "C" this program
    // is about to show a window. Reported: applications by name, "-" for none.
    void reports_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("reported");
        QTest::newRow("the start is no switch") << "S:A|A|B"
                                                << "B";
        QTest::newRow("nothing in front at the start") << "S:-|-|A"
                                                       << "A";
        QTest::newRow("windows of one application") << "A|A|B|B|A"
                                                    << "A|B|A";
        QTest::newRow("an instant without a window") << "A|-|B"
                                                     << "A|B";
        QTest::newRow("no window, for a while") << "A|-|-"
                                                << "A|-";
        QTest::newRow("into this program's window") << "A|-|O"
                                                    << "A";
        QTest::newRow("this program's window coming") << "A|C|-"
                                                      << "A";
        QTest::newRow("back before it was seen") << "A|R:A|R:-"
                                                 << "A|A";
    }
    void reports() {
        QFETCH(QString, steps);
        QFETCH(QString, reported);
        FakeSource source;
        ActivationFilter filter(source);
        QStringList seen;
        connect(&filter, &ActivationFilter::applicationActivated, this,
                [&](const auto& app) { seen << (app ? *app->localizedName : "-"); });
        const auto app = [](QStringView name) {
            return name == u"-" ? std::nullopt
                                : std::optional(RunningApplication{name.toString(), {}, 0});
        };
        for (const QString& step : steps.split(u'|')) {
            if (step.startsWith("S:"))
                Q_EMIT source.frontAtStart(app(QStringView(step).mid(2)));
            else if (step.startsWith("R:"))
                Q_EMIT source.frontReturned(app(QStringView(step).mid(2)));
            else if (step == "O")
                Q_EMIT source.ownWindowInFront();
            else if (step == "C")
                filter.ownWindowComing(); // handed over through the event loop
            else
                Q_EMIT source.frontChanged(app(step));
            QCoreApplication::processEvents();
        }
        // A wait for what settles, well short of the grace for this program's own windows.
        QTest::qWait(int(3 * ActivationFilter::kSettleDelay.count()));
        QCOMPARE(seen.join(u'|'), reported);
    }
};

QTEST_GUILESS_MAIN(TestActivationFilter)
#include "test_activation_filter.moc"
