// Start-up and shutdown, the file dialog's set-up, and the parsing the window
// does of its own inputs.

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>
#include <clocale>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include "config/SettingsTable.h"
#include "domain/Format.h"
#include "platform/FileLock.h"
#include "ui/AppOptions.h"
#include "ui/COrvaltApp.h"
#include "ui/TerminationSignals.h"
#include "ui/UiTests.h"
#include "ui/WholeNumber.h"
#include "ui/WindowRig.h"

namespace orvalt::testing {

AppOptions Simulated() {
    AppOptions options;
    options.simulate = true;
    return options;
}

namespace {

// Longer than the settings lock is waited for, and than any close takes.
constexpr int kBoxPatienceMs = 12000;

// Answers, as Esc would, every message box still showing after each
// kBoxPatienceMs, and keeps what they said: a close that nobody attends
// must leave none to answer.
class BoxesLeftWaiting {
  public:
    BoxesLeftWaiting() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { AnswerThem(); });
        timer_.start(kBoxPatienceMs);
    }
    QString Texts() const { return texts_.join(" | "); }

  private:
    void AnswerThem() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible()) {
                texts_ << box->text();
                box->reject();
            }
        }
    }

    QTimer timer_;
    QStringList texts_;
};

// What is written to standard error while it lives.
class StandardErrorText {
  public:
    StandardErrorText() : former_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~StandardErrorText() { std::cerr.rdbuf(former_); }
    StandardErrorText(const StandardErrorText&) = delete;
    StandardErrorText& operator=(const StandardErrorText&) = delete;
    std::string Text() const { return text_.str(); }

  private:
    std::ostringstream text_;
    std::streambuf* former_;
};

// Acts on the program's main window once its application shows it.
void WhenTheWindowShows(std::function<void(COrvaltDlg*)> act) {
    QTimer::singleShot(10, qApp, [act = std::move(act)]() mutable {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<COrvaltDlg*>(widget);
            if (window != nullptr && window->isVisible()) {
                act(window);
                return;
            }
        }
        WhenTheWindowShows(std::move(act));
    });
}

// A settings file that holds a baud rate of 19200 and a power of 40W.
std::filesystem::path SeededSettingsFile(const QTemporaryDir& dir) {
    const std::filesystem::path file = dir.filePath("Kestrune/Orvalt.reg").toStdString();
    SettingsRecord settings;
    settings.BaudRate = 19200;
    settings.Power = "40W";
    RegistryStore store(file);
    static_cast<void>(SaveStationSettings(settings, store));
    return file;
}

}  // namespace

class StartUpTest : public QObject {
    Q_OBJECT

  private slots:
    void NumbersKeepTheirDecimalPoint() {
        const char* locale = std::getenv("LC_ALL");
        qInfo("LC_ALL at start-up: %s", locale ? locale : "(unset)");
        QCOMPARE(Format("%.2f", 1.5), std::string("1.50"));
        QCOMPARE(std::string(std::setlocale(LC_NUMERIC, nullptr)), std::string("C"));
    }

    void WidthsTextsAndOptionSurviveARestart() {
        QTemporaryDir dir;
        const COrvaltApp app(dir.filePath("Kestrune/Orvalt.reg").toStdString());
        const SessionOptions options = app.SessionFor(Simulated());
        {
            WindowRig rig(options);
            rig.Control<QTableView>(IDC_TEST_LIST)->horizontalHeader()->resizeSection(3, 123);
            rig.Control<QLineEdit>(IDC_DRIVER_MODEL)->setText("D-7");
            rig.Control<QComboBox>(IDC_TTO_OPTION)->setCurrentIndex(4);
            rig.window->reject();
            QVERIFY(app.SaveSettings(rig.session));
        }
        WindowRig rig(options);
        QVERIFY(rig.session.Status().settingsLoad.Ok());
        QCOMPARE(rig.Control<QTableView>(IDC_TEST_LIST)->horizontalHeader()->sectionSize(3), 123);
        QCOMPARE(rig.Control<QLineEdit>(IDC_DRIVER_MODEL)->text(), QString("D-7"));
        QCOMPARE(rig.Control<QComboBox>(IDC_TTO_OPTION)->currentIndex(), 4);
    }

    void AFailedSaveIsReported() {
        QTemporaryDir dir;
        const std::filesystem::path blocker = dir.filePath("file").toStdString();
        std::ofstream(blocker) << "x";
        COrvaltApp app(blocker / "Orvalt.reg");
        std::vector<std::string> reports;
        app.report = [&reports](const std::string& text) { reports.push_back(text); };
        StationSession session(app.SessionFor(Simulated()));
        QVERIFY(!app.SaveSettings(session));
        QCOMPARE(reports.size(), std::size_t{1});
        QVERIFY(!reports.front().empty());
    }

    // Two fixtures and the station without a name share one settings file and
    // one data folder, and nothing of one shows in another.
    void AFixtureHasItsOwnSettingsTitleAndFileNames() {
        QTemporaryDir dir;
        const std::filesystem::path file = dir.filePath("Kestrune/Orvalt.reg").toStdString();
        const COrvaltApp app(file);
        const auto sessionOf = [&app](const std::string& fixture) {
            AppOptions options = Simulated();
            options.fixture = fixture;
            return std::make_unique<StationSession>(app.SessionFor(options));
        };
        for (const auto& [fixture, maker] : {std::pair{"", "Plain"}, {"Bay 2", "BayCo"}}) {
            AppOptions options = Simulated();
            options.fixture = fixture;
            WindowRig rig(app.SessionFor(options));
            rig.Control<QLineEdit>(IDC_MANUFACTURER)->setText(QString::fromLatin1(maker));
            rig.window->reject();
            QVERIFY(app.SaveSettings(rig.session));
        }
        QCOMPARE(sessionOf("Bay 2")->Settings().Manufacturer, std::string("BayCo"));
        QCOMPARE(sessionOf("")->Settings().Manufacturer, std::string("Plain"));

        for (const std::string fixture : {"", "Bay 2"}) {
            WindowRig rig({}, {}, {}, true, fixture);
            rig.Control<QLineEdit>(IDC_MANUFACTURER)->setText("Acme");
            rig.Control<QLineEdit>(IDC_MODEL)->setText("X/1");
            rig.Press(IDC_SAVE_TEST_DATA);
            rig.Press(IDC_DIAG_SAVE);
            QCOMPARE(rig.requests.size(), std::size_t{2});
            const bool named = !fixture.empty();
            QCOMPARE(rig.window->windowTitle(), QString(named ? "Orvalt - Bay 2" : "Orvalt"));
            QCOMPARE(rig.requests[0].path,
                     (rig.Folder() / (named ? "Acme-X_1-Bay 2.csv" : "Acme-X_1.csv")).string());
            QCOMPARE(rig.requests[1].path, std::string(named ? "Diag-Bay 2.txt" : ""));
        }
    }

    void ATerminationSignalRunsTheCloseSequenceOnce() {
        WindowRig rig;
        rig.Control<QLineEdit>(IDC_POWER)->setText("60W");
        struct sigaction before {};
        sigaction(SIGTERM, nullptr, &before);
        {
            const TerminationSignals endRequests([&rig] { rig.window->reject(); });
            std::raise(SIGTERM);
            QTRY_VERIFY_WITH_TIMEOUT(!rig.window->isVisible(), kPatienceMs);
            struct sigaction now {};
            sigaction(SIGTERM, nullptr, &now);
            // A second one goes to the former handler.
            QVERIFY(now.sa_handler == before.sa_handler);
        }
        QCOMPARE(rig.settings.Power, std::string("60W"));
    }

    // SIGTERM with a Baud Rate field that is no whole number, and with the
    // "Enter an integer." box of an earlier press showing: nothing waits for
    // an answer, the baud rate keeps its last valid value, and the fields that
    // could be read, the option after the baud rate's included, are saved.
    void ATerminationSignalAsksNobodyAndSavesWhatCanBeRead_data() {
        QTest::addColumn<bool>("boxShowing");
        QTest::newRow("window alone") << false;
        QTest::newRow("box showing") << true;
    }
    void ATerminationSignalAsksNobodyAndSavesWhatCanBeRead() {
        QFETCH(bool, boxShowing);
        QTemporaryDir dir;
        COrvaltApp app(SeededSettingsFile(dir));
        const StandardErrorText standardError;
        const BoxesLeftWaiting boxes;
        WhenTheWindowShows([boxShowing](COrvaltDlg* window) {
            FindControl<QLineEdit>(window, IDC_POWER)->setText("60W");
            FindControl<QLineEdit>(window, IDC_BAUD_RATE)->setText("96x");
            FindControl<QComboBox>(window, IDC_TTO_OPTION)->setCurrentIndex(6);
            QTimer::singleShot(0, [] { std::raise(SIGTERM); });
            if (boxShowing) {
                FindControl<QAbstractButton>(window, IDC_DIAG_OPEN)->click();
            }
        });
        QCOMPARE(app.InitInstance(Simulated()), 0);
        QVERIFY2(boxes.Texts().isEmpty(), qPrintable("left waiting: " + boxes.Texts()));
        QVERIFY2(standardError.Text().find("orvalt: The Baud Rate field holds no whole number and "
                                           "was not taken; the baud rate stays 19200.\n") !=
                     std::string::npos,
                 standardError.Text().c_str());
        StationSession saved(app.SessionFor(Simulated()));
        QCOMPARE(saved.Settings().Power, std::string("60W"));
        QCOMPARE(saved.Settings().TTOTestOption, 6);
        QCOMPARE(saved.Settings().BaudRate, 19200);
    }

    // SIGTERM while another program holds the settings file's lock past the
    // wait: the close ends, says on standard error that the settings were not
    // saved, and the settings in the file stay as they were.
    void ATerminationSignalReportsASettingsLockOnStandardError() {
        QTemporaryDir dir;
        const std::filesystem::path file = SeededSettingsFile(dir);
        const FileLock otherProgram(std::filesystem::path(file) += ".lock",
                                    std::chrono::milliseconds(0));
        QVERIFY(otherProgram.Held());
        COrvaltApp app(file);
        const StandardErrorText standardError;
        const BoxesLeftWaiting boxes;
        WhenTheWindowShows([](COrvaltDlg* window) {
            FindControl<QLineEdit>(window, IDC_POWER)->setText("60W");
            std::raise(SIGTERM);
        });
        QCOMPARE(app.InitInstance(Simulated()), 0);
        QVERIFY2(boxes.Texts().isEmpty(), qPrintable("left waiting: " + boxes.Texts()));
        QVERIFY2(
            standardError.Text().find("orvalt: The settings were not saved. ") != std::string::npos,
            standardError.Text().c_str());
        QVERIFY(standardError.Text().find("Orvalt.reg.lock") != std::string::npos);
        StationSession kept(app.SessionFor(Simulated()));
        QCOMPARE(kept.Settings().Power, std::string("40W"));
    }

    void FiltersBecomeQtNameFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plan") << "Comma separated files (*.csv)|*.csv"
                              << QStringList{"Comma separated files (*.csv)", "All Files (*)"};
        QTest::newRow("patterns") << "Logs|*.txt;*.log"
                                  << QStringList{"Logs (*.txt *.log)", "All Files (*)"};
        QTest::newRow("all files given") << "Text files (*.txt)|*.txt|All Files|*.*||"
                                         << QStringList{"Text files (*.txt)", "All Files (*)"};
        QTest::newRow("none") << "" << QStringList{"All Files (*)"};
    }
    void FiltersBecomeQtNameFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(QtNameFilters(filter.toStdString()), expected);
    }

    void FileDialogStartsInThePresetOrTheKindsFolder_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("preset") << "/data/A_B-C_D.csv" << 0 << "/data"
                                << "A_B-C_D.csv";
        QTest::newRow("bare name") << "TestCfg.csv" << 0 << ""
                                   << "TestCfg.csv";
        QTest::newRow("program folder") << "" << 1 << "/opt/orvalt"
                                        << "";
        QTest::newRow("empty data folder") << "" << 0 << QDir::homePath() << "";
        QTest::newRow("platform's choice") << "" << 5 << ""
                                           << "";
    }
    void FileDialogStartsInThePresetOrTheKindsFolder() {
        QFETCH(QString, path);
        QFETCH(int, kind);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        SettingsRecord settings;
        settings.ProgramDirPath = "/opt/orvalt";
        const FileRequest request{FileChoice::Save, path.toStdString(), "", "csv", "", kind};
        const FileDialogStart start = StartOfFileDialog(request, settings);
        QCOMPARE(QString::fromStdString(start.folder.string()), folder);
        QCOMPARE(QString::fromStdString(start.fileName), name);
    }

    void SaveDialogAddsTheDefaultExtension() {
        QTemporaryDir dir;
        SettingsRecord settings;
        settings.DataDirPath = dir.path().toStdString();
        FileRequest request{
            FileChoice::Save, "", "Test Data", "csv", "Comma separated files (*.csv)|*.csv",
            kDataFolder};
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->nameFilters().size(), 2);
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("run1");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(PromptForFile(nullptr, settings, request), 1);
        QCOMPARE(QString::fromStdString(request.path), dir.filePath("run1.csv"));
    }

    void WholeNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");  // -1: refused
        for (auto [text, value] :
             std::initializer_list<std::pair<const char*, int>>{{"9600", 9600},
                                                                {" 115200 ", 115200},
                                                                {"+7", 7},
                                                                {"0", 0},
                                                                {"", -1},
                                                                {"96x", -1},
                                                                {"9.6", -1},
                                                                {"2147483648", -1},
                                                                {"+-1", -1},
                                                                {"- 1", -1}}) {
            QTest::newRow(text) << text << value;
        }
    }
    void WholeNumbers() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(ParseWholeNumber(text.toStdString()).value_or(-1), value);
    }

    void CommandLine() {
        QVERIFY(!ParseAppOptions({}).options->simulate);
        QVERIFY(ParseAppOptions({"--simulate"}).options->simulate);
        QVERIFY(ParseAppOptions({"--help"}).helpRequested);
        QVERIFY(!ParseAppOptions({"--unit", "u.json"}).options);  // without --simulate
        QVERIFY(!ParseAppOptions({"--simulate", "--unit"}).options);
        QVERIFY(!ParseAppOptions({"--simulate", "--unit", "/no/such/unit.json"}).options);
        QVERIFY(!ParseAppOptions({"--fast"}).options);
        QVERIFY(ParseAppOptions({"--version"}).versionRequested);
        QVERIFY(!ParseAppOptions({"--version"}).options);
        QCOMPARE(ParseAppOptions({"--fixture", "Bay 2"}).options->fixture, std::string("Bay 2"));
        QVERIFY(ParseAppOptions({}).options->fixture.empty());
        for (const auto& bad :
             {std::vector<std::string>{"--fixture"}, {"--fixture", ""}, {"--fixture", "a\\b"}}) {
            const AppOptionsResult refused = ParseAppOptions(bad);
            QVERIFY(!refused.options);
            QVERIFY(refused.error.find("--fixture") != std::string::npos);
        }
    }

    // Pressing buttons with no operator there is for the simulator alone.
    void AutomationOnlyOnTheSimulator() {
        const auto run = ParseAppOptions({"--simulate", "--load-plan", "plan.csv", "--start"});
        QVERIFY2(run.options, run.error.c_str());
        QCOMPARE(run.options->autoPlan, std::filesystem::path("plan.csv"));
        QVERIFY(run.options->autoStart && !run.options->autoDiag);
        QVERIFY(ParseAppOptions({"--open-diag", "--simulate"}).options->autoDiag);
        for (const std::vector<std::string>& refused :
             {std::vector<std::string>{"--load-plan", "plan.csv", "--start"},
              {"--load-plan", "plan.csv"},
              {"--open-diag"},
              {"--start"},
              {"--simulate", "--start"},
              {"--simulate", "--load-plan"}}) {
            const auto result = ParseAppOptions(refused);
            QVERIFY2(!result.options, refused.front().c_str());
            QVERIFY(!result.error.empty());
        }
    }
};

int RunStartUpTests(int argc, char** argv) {
    StartUpTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "StartUpTest.moc"
