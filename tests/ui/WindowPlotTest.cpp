// The window's plot panel, verdict banner and "Load Limits..." on the real
// window, offscreen, on the simulated station in real time.

#include <QLineEdit>
#include <QTest>
#include <array>
#include <fstream>
#include <mutex>

#include "config/FixtureAccent.h"
#include "config/PlotPanelSetting.h"
#include "ui/UiTests.h"
#include "ui/WindowRig.h"

namespace orvalt::testing {
namespace {

// Two on/off tests: three readings, then four.
const std::vector<std::string> kTwoTestPlan{"h", "h", "A,0,0.05,0.05,1.0,5000,3",
                                            "B,0,0.05,0.05,1.0,5000,4"};

// Counts the session's readings as the worker tells them.
class ReadingCounter final : public SessionObserver {
  public:
    void VoltageRead(const VoltageReading& reading) override {
        std::scoped_lock lock(mutex_);
        counted_ += reading.volts ? 1 : 0;
    }
    int Counted() {
        std::scoped_lock lock(mutex_);
        return counted_;
    }

  private:
    std::mutex mutex_;
    int counted_ = 0;
};

std::filesystem::path WriteLimits(const WindowRig& rig, const std::string& name,
                                  const std::string& text) {
    const std::filesystem::path file = rig.Folder() / name;
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

void RunToItsEnd(WindowRig& rig) {
    rig.Press(IDC_START_STOP);
    QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver() && rig.session.Verdicts().runOver, kPatienceMs);
}

class WindowPlotTest : public QObject {
    Q_OBJECT

  private slots:
    void ThePlotGetsEveryReadingOfARunAtMost25FramesASecond() {
        WindowRig rig;
        ReadingCounter counter;
        rig.session.Observers().Attach(counter);
        rig.LoadPlan(kTwoTestPlan);
        LightPlotWidget& plot = rig.window->Panel().Plot();
        const int framesBefore = plot.FramesDrawn();
        QElapsedTimer elapsed;
        elapsed.start();
        RunToItsEnd(rig);
        QTest::qWait(2 * PlotPanel::kCatchUpPeriodMs);
        rig.session.Observers().Detach(counter);
        QCOMPARE(counter.Counted(), 7);
        QCOMPARE(plot.Model().Previous().readings.size(), std::size_t{3});
        QCOMPARE(plot.Model().Current().readings.size(), std::size_t{4});
        QCOMPARE(plot.Model().Current().testNumber, 2);
        QVERIFY(!plot.Model().Current().switches.empty());
        const double seconds = static_cast<double>(elapsed.elapsed()) / 1000.0;
        QVERIFY(plot.FramesDrawn() - framesBefore <= 25.0 * seconds + 2);
    }

    void ThePanelSitsRightOfEveryControl() {
        WindowRig rig;
        const QRect panel = rig.window->Panel().geometry();
        QVERIFY(panel.width() >= 240);
        QCOMPARE(panel.right(), rig.window->width() - 1);
        for (QWidget* child : rig.window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            // The verdict panel spans the window above both.
            if (child != &rig.window->Panel() && child != &rig.window->Verdict() &&
                child->isVisible()) {
                QVERIFY2(child->geometry().right() < panel.left(), qPrintable(child->objectName()));
            }
        }
    }

    void ABadLimitsFileIsRefusedNamingItsLineAndThePreviousLimitsStay() {
        WindowRig rig;
        QCOMPARE(rig.window->Verdict().LimitsText(), QString("No limits loaded"));
        const auto good = WriteLimits(rig, "good.csv", "measurement,min,max\nV1,2,3\n");
        const auto bad = WriteLimits(rig, "bad.csv", "measurement,min,max\nV1,2,3\nV1,,x\n");
        rig.window->askForLimitsFile = [&good] { return good; };
        rig.window->OnLoadLimits();
        QVERIFY(rig.messages.empty());
        QCOMPARE(rig.window->Verdict().LimitsText(), QString("Limits: good.csv"));
        QVERIFY(!rig.window->LoadLimitsFrom(bad));
        QCOMPARE(rig.messages.size(), std::size_t{1});
        QVERIFY2(rig.messages.front().find("Line 3: ") != std::string::npos,
                 rig.messages.front().c_str());
        QCOMPARE(rig.session.Status().limitsFile, good);
        rig.window->askForLimitsFile = [] { return std::filesystem::path(); };
        rig.window->OnLoadLimits();  // cancelled: nothing changes
        QCOMPARE(rig.session.Status().limitsFile, good);
        QCOMPARE(rig.messages.size(), std::size_t{1});
    }

    // Limits that judge a diagnostic figure refuse Start while the Diag Comm
    // Port is closed, saying so; limits that judge none start as before.
    void DiagnosticLimitsNeedTheDiagCommPortOpen() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        QVERIFY(!rig.session.Status().hearsDiagLines);
        QVERIFY(rig.window->LoadLimitsFrom(WriteLimits(
            rig, "diag.csv", "measurement,min,max\nRepetitionsFailed,,2\nDelay,,1000\n")));
        rig.Press(IDC_START_STOP);
        QVERIFY(!rig.RunGoing());
        QCOMPARE(rig.messages,
                 std::vector<std::string>{"Open the Diag Comm Port first: the limits judge Delay "
                                          "from the driver's diagnostic line."});
        QVERIFY(rig.window->LoadLimitsFrom(
            WriteLimits(rig, "reps.csv", "measurement,min,max\nRepetitionsFailed,,2\n")));
        rig.Press(IDC_START_STOP);
        QVERIFY(rig.RunGoing());
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
    }

    // The quick plan's readings lie outside its window: the station logs
    // "Fail, " and a limit on the failed repetitions fails it.
    void TheBannerShowsTheVerdictAndClearsAtStart() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        VerdictBanner& banner = rig.window->Panel().Banner();
        QVERIFY(rig.window->LoadLimitsFrom(
            WriteLimits(rig, "fail.csv", "measurement,min,max\nRepetitionsFailed,,0\n")));
        RunToItsEnd(rig);
        // The list catches up with the log on its own timer.
        QTRY_VERIFY_WITH_TIMEOUT(!rig.Rows(IDC_LOG_LIST).isEmpty(), kPatienceMs);
        QVERIFY(rig.Rows(IDC_LOG_LIST).front().startsWith("Fail, "));
        QTRY_COMPARE_WITH_TIMEOUT(banner.Headline(), QString("FAIL"), kPatienceMs);
        QVERIFY2(banner.ReasonsText().contains(
                     "Test 1: Failed on/off repetitions 2, above the 0 maximum"),
                 qPrintable(banner.ReasonsText()));

        // The last unit was judged by other limits: its verdict does not stay
        // beside the new limits' name.
        QVERIFY(rig.window->LoadLimitsFrom(
            WriteLimits(rig, "pass.csv", "measurement,min,max\nRepetitionsFailed,,2\n")));
        QTRY_COMPARE_WITH_TIMEOUT(banner.Headline(), QString("READY"), kPatienceMs);
        QCOMPARE(rig.window->Verdict().LimitsText(), QString("Limits: pass.csv"));
        QVERIFY(banner.ReasonsText().isEmpty());
        rig.Press(IDC_START_STOP);
        QCOMPARE(banner.Headline(), QString("TESTING..."));  // the last verdict went at Start
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver() && rig.session.Verdicts().runOver, kPatienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(banner.Headline(), QString("PASS"), kPatienceMs);
    }

    // A window on a settings file keeps the panel's size and the limits file
    // under keys of their own for the next start; Location keeps its values.
    void TheNextStartHasTheSameLimitsAndPanelSize() {
        QTemporaryDir dir;
        const std::filesystem::path settingsFile = dir.filePath("Orvalt.reg").toStdString();
        const std::filesystem::path limits = dir.filePath("limits.csv").toStdString();
        std::ofstream(limits, std::ios::binary) << "measurement,min,max\r\nCT,,20\r\n";
        const SessionOptions options{StationOptions{true, false, {}}, settingsFile};
        int closedHeight = 0;
        {
            StationSession session(options);
            COrvaltDlg window(session);
            window.messageBox = [](const std::string& text) { QFAIL(text.c_str()); };
            QVERIFY(window.LoadLimitsFrom(limits));
            window.resize(window.width(), window.height() + 60);
            closedHeight = window.height();
            window.reject();
            QVERIFY(session.SaveSettings().Ok());  // as the program does at its end
        }
        StationSession session(options);
        COrvaltDlg window(session);
        QCOMPARE(session.Status().limitsFile, limits);
        QCOMPARE(window.Verdict().LimitsText(), QString("Limits: limits.csv"));
        QCOMPARE(window.height(), closedHeight);
        RegistryStore store(settingsFile);
        RegKey location;
        QVERIFY(store.OpenKey("Software\\Kestrune\\Orvalt\\Location", location).Ok());
        QCOMPARE(store.ValueNames(location).size(), std::size_t{38});
        static_cast<void>(store.CloseKey(location));
        QVERIFY(LoadPlotPanelSize(store).has_value());
    }

    // Two fixtures' windows on one screen: each wears its name on its own
    // colour (one set in the settings file, one picked from its name) and
    // reopens where it was closed.
    void EachFixturesWindowHasItsColourAndReopensInItsPlace() {
        QTemporaryDir dir;
        const std::filesystem::path settingsFile = dir.filePath("Orvalt.reg").toStdString();
        {
            RegistryStore store(settingsFile);
            QVERIFY(SaveFixtureAccent(store, "Bay 1", 0x2e7d32).Ok());
        }
        const auto optionsFor = [&settingsFile](const std::string& fixture) {
            return SessionOptions{StationOptions{true, false, {}, {}, fixture}, settingsFile};
        };
        const std::array<std::pair<std::string, QPoint>, 2> places{
            {{"Bay 1", QPoint(40, 30)}, {"Bay 2", QPoint(980, 60)}}};
        for (const auto& [fixture, place] : places) {
            StationSession session(optionsFor(fixture));
            COrvaltDlg window(session);
            window.show();
            window.move(place);
            window.resize(900, 700);
            window.reject();
        }
        for (const auto& [fixture, place] : places) {
            StationSession session(optionsFor(fixture));
            COrvaltDlg window(session);
            QCOMPARE(window.pos(), place);
            QCOMPARE(window.size(), QSize(900, 700));
            const QLabel& name = window.Verdict().FixtureLabel();
            QCOMPARE(name.text(), QString::fromStdString(fixture));
            QVERIFY(!name.isHidden());
            const QColor accent = name.palette().color(QPalette::Window);
            QCOMPARE(accent.rgb() & 0xffffffu,
                     fixture == "Bay 1" ? 0x2e7d32u : DefaultAccent(fixture));
            window.reject();
        }
    }

    // Without limits a finished run says so in amber, under the run's serial
    // number, in type an eighth of the window's height.
    void ARunWithoutLimitsIsNotJudged() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        rig.window->findChild<QLineEdit*>(QStringLiteral("serialNumber"))->setText("SN-0815");
        VerdictBanner& verdict = rig.window->Verdict();
        QCOMPARE(verdict.Serial(), QString("SN-0815"));
        RunToItsEnd(rig);
        QTRY_COMPARE_WITH_TIMEOUT(verdict.Headline(), QString("NOT JUDGED"), kPatienceMs);
        QCOMPARE(verdict.Tone(), VerdictTone::NotJudged);
        QCOMPARE(verdict.ReasonsText(), QString(kNotJudgedReason));
        QCOMPARE(verdict.LimitsText(), QString("No limits loaded"));
        // The next unit's number is the edit's; the panel keeps the run's.
        rig.window->findChild<QLineEdit*>(QStringLiteral("serialNumber"))->setText("SN-0816");
        QCOMPARE(verdict.Serial(), QString("SN-0815"));
        QVERIFY(verdict.HeadlineLabel().font().pixelSize() * 8 >= rig.window->height());
    }
};

}  // namespace

int RunWindowPlotTests(int argc, char** argv) {
    WindowPlotTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "WindowPlotTest.moc"
