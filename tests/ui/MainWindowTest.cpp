// The main window on the simulated station: controls, enabling, runs,
// progress, the diagnostic link, saving and the close sequence.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "domain/Format.h"
#include "domain/SessionObserver.h"
#include "platform/PseudoTerminal.h"
#include "station/ProgramVersion.h"
#include "support/DeviceTap.h"
#include "ui/CAboutDlg.h"
#include "ui/MainWindowControls.h"
#include "ui/UiTests.h"
#include "ui/WholeNumber.h"
#include "ui/WindowRig.h"

namespace orvalt::testing {

namespace {

constexpr std::array<int, 4> kRunLocked{IDC_SAVE_TEST_DATA, IDC_EXTRA_LOG, IDC_DO_OUTPUT5,
                                        IDC_OPEN};

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Acts on the next message box the window shows, from inside its own loop.
void WhenABoxShows(std::function<void(QMessageBox*)> act) {
    QTimer::singleShot(10, qApp, [act = std::move(act)]() mutable {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            act(box);
        } else {
            WhenABoxShows(std::move(act));
        }
    });
}

// Starts the long plan and waits until it sits in its first, 30 s wait.
bool InTheLongRunsFirstWait(WindowRig& rig) {
    rig.LoadPlan(kLongPlan);
    rig.Press(IDC_START_STOP);
    return QTest::qWaitFor([&rig] { return !rig.Cell(0, kWaitColumn).isEmpty(); }, kPatienceMs);
}

bool ShowsRunControls(const WindowRig& rig, bool running) {
    bool locked = true;
    for (int id : kRunLocked) {
        locked = locked && rig.Button(id)->isEnabled() != running;
    }
    return locked && rig.Button(IDC_START_STOP)->isEnabled() &&
           rig.Button(IDC_START_STOP)->text() == (running ? "Stop" : "Start");
}

// The diagnostic lines the recorder took for the judgement, the last one's
// first field with them.
struct LinesDecoded : SessionObserver {
    std::atomic<int> count{0};
    std::atomic<std::int32_t> lastField1{-1};
    void DiagLineDecoded(const DiagLine& line, const EventTime& /*time*/) override {
        lastField1 = line.fields.field1;
        ++count;
    }
};

// Start on a device that does not open: one box, beginning `message`, the log
// emptied and the controls given back.
bool StartIsRefusedByTheDevice(WindowRig& rig, const std::string& message) {
    rig.Press(IDC_START_STOP);
    return rig.messages.size() == 1 && rig.messages.front().starts_with(message) &&
           rig.Rows(IDC_LOG_LIST).isEmpty() && ShowsRunControls(rig, false);
}

// Opens the window's Diag Comm Port on the pseudo-terminal listed as "test line".
bool OpenTheTestLine(WindowRig& rig) {
    auto* ports = rig.Control<QComboBox>(IDC_DIAG_PORT);
    ports->setCurrentIndex(ports->findText("test line"));
    rig.Press(IDC_DIAG_OPEN);
    return rig.session.Status().diagLinkOpen;
}

}  // namespace

struct RunsBegun : SessionObserver {
    std::atomic<int> count{0};
    void RunStarted(int /*runNumber*/) override { ++count; }
};

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void ControlsAreThoseDrawn() {
        WindowRig rig;
        const DialogBaseUnits base = BaseUnitsOf(rig.window->font());
        for (const ControlSpec& entry : MainWindowControls()) {
            if (entry.id == kNoControlId) {
                continue;
            }
            QWidget* control = rig.Control(entry.id);
            QVERIFY2(control != nullptr, qPrintable(QString::number(entry.id)));
            const QRect drawn = DialogUnitsToPixels(entry.du, base);
            QCOMPARE(control->pos(), drawn.topLeft());
            QCOMPARE(control->width(), drawn.width());
            if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                QCOMPARE(button->text(), QString::fromLatin1(entry.text));
            }
            if (auto* label = qobject_cast<QLabel*>(control)) {
                QCOMPARE(label->text(), QString::fromLatin1(entry.text));
            }
        }
        QVERIFY(!rig.Button(IDC_START_STOP)->isEnabled());
        QVERIFY(rig.Button(IDC_OPEN)->isEnabled());
        auto* tests = rig.Control<QTableView>(IDC_TEST_LIST);
        QCOMPARE(tests->model()->columnCount(), 9);
        QCOMPARE(tests->model()->headerData(8, Qt::Horizontal).toString(), QString("Status"));
        QCOMPARE(tests->horizontalHeader()->sectionSize(8), 355);
        QCOMPARE(tests->verticalHeader()->defaultSectionSize(), 20);
        QVERIFY(!tests->horizontalHeader()->sectionsClickable());
        QVERIFY(tests->showGrid());
        QVERIFY(rig.Control<QTreeView>(IDC_DIAG_LIST)->isHeaderHidden());
        auto* tto = rig.Control<QComboBox>(IDC_TTO_OPTION);
        QCOMPARE(tto->count(), 16);
        QCOMPARE(tto->itemText(15), QString("Cycle 4 @ Level 4"));
        QCOMPARE(tto->currentIndex(), 10);
    }

    void ListsGrowAndEdgesFollowTheWindow() {
        WindowRig rig;
        const auto geometryOf = [&rig](int id) { return rig.Control(id)->geometry(); };
        const std::array<int, 6> ids{IDC_TEST_LIST,  IDC_LOG_LIST,  IDC_DIAG_LIST,
                                     IDCANCEL_CLOSE, IDC_DIAG_OPEN, IDC_MANUFACTURER};
        std::array<QRect, 6> before{};
        for (std::size_t i = 0; i < ids.size(); ++i) {
            before[i] = geometryOf(ids[i]);
        }
        const int bannerBefore = rig.window->Verdict().height();
        rig.window->resize(rig.window->size() + QSize(120, 90));
        // The verdict's type grows with the window and takes its share first.
        const int down = 90 - (rig.window->Verdict().height() - bannerBefore);
        QVERIFY(down > 0);
        const auto grew = [&](std::size_t i) {
            return geometryOf(ids[i]).size() - before[i].size();
        };
        const auto moved = [&](std::size_t i) {
            return geometryOf(ids[i]).topLeft() - before[i].topLeft();
        };
        QCOMPARE(grew(0).width(), 120);
        QVERIFY(std::abs(grew(0).height() + grew(1).height() + grew(2).height() - down) <= 2);
        QVERIFY(grew(2).height() > 0);
        QCOMPARE(moved(3), QPoint(120, down));
        QCOMPARE(moved(4).x(), 120);
        QCOMPARE(moved(4).y(), moved(2).y());
        QCOMPARE(moved(5), QPoint(0, down));
        QCOMPARE(grew(5), QSize(0, 0));
    }

    void StartWaitsForALoadedPlan() {
        WindowRig rig;
        rig.Press(IDC_OPEN);  // cancelled
        QCOMPARE(rig.requests.back().path, std::string("TestCfg.csv"));
        QCOMPARE(rig.requests.back().title, std::string("Test Configuration"));
        QVERIFY(!rig.Button(IDC_START_STOP)->isEnabled());
        rig.answers.push_back((rig.Folder() / "missing.csv").string());
        rig.Press(IDC_OPEN);
        QCOMPARE(rig.messages, std::vector<std::string>{"Can't open test parameters file\n" +
                                                        (rig.Folder() / "missing.csv").string() +
                                                        ": " + std::strerror(ENOENT)});
        rig.LoadPlan(kEmptyPlan);
        QVERIFY(rig.Button(IDC_START_STOP)->isEnabled());
        QCOMPARE(rig.Rows(IDC_TEST_LIST).size(), 0);
        rig.Press(IDC_START_STOP);
        QCOMPARE(rig.messages.back(), std::string(kPlanHoldsNoTests));
        QVERIFY(!rig.RunGoing());
        rig.messages.pop_back();
        rig.LoadPlan({"h", "h", "A,1,2,3,4", "B,0,5,5,1.2,4500,3"});
        QCOMPARE(rig.Rows(IDC_TEST_LIST), QStringList({"1", "2"}));
        QCOMPARE(rig.Cell(1, 5), QString("4500"));
        // The rows change, the column widths do not.
        QCOMPARE(rig.Control<QTableView>(IDC_TEST_LIST)->horizontalHeader()->sectionSize(8), 355);
        // A value too large for its field loads nothing: the plan in use stays.
        rig.LoadPlan({"h", "h", "C,9999999,1,1,1"});
        QCOMPARE(rig.messages.size(), std::size_t{2});
        QCOMPARE(rig.Rows(IDC_TEST_LIST), QStringList({"1", "2"}));
        QVERIFY(rig.Button(IDC_START_STOP)->isEnabled());
        // A picture renamed .csv is no plan either.
        rig.LoadPlan({"\x89PNG", "\x1a", "\0\0\0\rIHDR"});
        QCOMPARE(rig.messages.back(),
                 std::string("Line 2: control character 0x1A; this is not a test plan"));
        QCOMPARE(rig.Rows(IDC_TEST_LIST), QStringList({"1", "2"}));
        // Words for numbers load as 0 and are told in one box.
        rig.LoadPlan({"h", "h", "A,one,2,3,4", "B,1,two,3,4"});
        QCOMPARE(rig.messages.size(), std::size_t{4});
        QCOMPARE(rig.messages.back(), std::string("These fields hold no number and are read as 0: "
                                                  "line 3 column 2, line 4 column 3."));
        QCOMPARE(rig.Cell(0, 1), QString("0.00"));
    }

    // The quick test runs, then the long one waits: each row's waits and
    // readings stay in its own cells, the log's lines in the log list.
    void ProgressKindsLandInTheirPlaces() {
        WindowRig rig;
        rig.LoadPlan({"h", "h", kQuickPlan[2], kLongPlan[2]});
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Cell(1, kWaitColumn).startsWith("Wait 30.00 secs"),
                                 kPatienceMs);
        QVERIFY(!rig.Cell(0, kWaitColumn).isEmpty());
        QVERIFY(!rig.Cell(0, kWaitColumn).startsWith("Wait 30.00 secs"));
        QVERIFY(!rig.Cell(0, kStatusColumn).isEmpty());
        QStringList logged;
        for (const std::string& line : rig.session.Model().LogLines()) {
            logged << QString::fromStdString(line);
        }
        QVERIFY(!logged.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(rig.Rows(IDC_LOG_LIST), logged, kPatienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(rig.CurrentRow(IDC_LOG_LIST), logged.size() - 1, kPatienceMs);
        rig.Press(IDC_START_STOP);
        QVERIFY(ShowsRunControls(rig, false));
    }

    void StopDuringAWaitGivesTheControlsBack() {
        WindowRig rig;
        rig.LoadPlan(kLongPlan);
        rig.Press(IDC_START_STOP);
        QVERIFY(ShowsRunControls(rig, true));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Cell(0, kWaitColumn).startsWith("Wait 30.00 secs"),
                                 kPatienceMs);
        rig.Press(IDC_START_STOP);
        QVERIFY(ShowsRunControls(rig, false));
        QVERIFY(!rig.session.Status().threadsGoing);
        QVERIFY(rig.Cell(0, kWaitColumn).startsWith("Wait 30.00 secs"));
    }

    void AStopPressedAsTheRunEndsOnItsOwnStartsNoOtherRun() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        RunsBegun begun;
        rig.session.Observers().Attach(begun);
        rig.Press(IDC_START_STOP);
        // The worker ends while the window, not pumping its events, has not
        // heard of it yet: the button still says Stop.
        for (int i = 0; i < 1000 && rig.RunGoing(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        QVERIFY(!rig.RunGoing());
        QCOMPARE(rig.Button(IDC_START_STOP)->text(), QString("Stop"));
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
        rig.session.Observers().Detach(begun);
        QCOMPARE(begun.count.load(), 1);
        QVERIFY(ShowsRunControls(rig, false));
    }

    void StartAfterAFinishedRunClearsLogAndRunColumns() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver() && rig.Rows(IDC_LOG_LIST).size() >= 2, kPatienceMs);
        QVERIFY(ShowsRunControls(rig, false));
        QVERIFY(rig.Rows(IDC_LOG_LIST).front().startsWith("Fail, "));
        QVERIFY(!rig.Cell(0, kStatusColumn).isEmpty());
        rig.Press(IDC_START_STOP);
        QCOMPARE(rig.Rows(IDC_LOG_LIST), QStringList());
        QCOMPARE(rig.Cell(0, kWaitColumn), QString());
        QCOMPARE(rig.Cell(0, kStatusColumn), QString());
        QVERIFY(ShowsRunControls(rig, true));
    }

    void NonIntegerBaudStopsStartAndOpenButNotClose() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver() && !rig.Rows(IDC_LOG_LIST).isEmpty(), kPatienceMs);
        rig.answers.push_back((rig.Folder() / "earlier.csv").string());
        rig.Press(IDC_SAVE_TEST_DATA);  // nothing left to ask about at the close
        QCOMPARE(rig.session.Status().completedTests, std::size_t{0});
        const QStringList kept = rig.Rows(IDC_LOG_LIST);
        rig.messages.clear();
        rig.Control<QLineEdit>(IDC_MANUFACTURER)->setText("Acme");
        rig.Control<QComboBox>(IDC_TTO_OPTION)->setCurrentIndex(3);
        rig.Control<QLineEdit>(IDC_BAUD_RATE)->setText("96x");
        rig.Press(IDC_START_STOP);
        rig.Press(IDC_DIAG_OPEN);
        QCOMPARE(rig.messages, std::vector<std::string>(2, kEnterAnInteger));
        QVERIFY(!rig.RunGoing());
        QVERIFY(!rig.session.Status().diagLinkOpen);
        QCOMPARE(rig.Rows(IDC_LOG_LIST), kept);
        rig.Press(IDCANCEL_CLOSE);
        QCOMPARE(rig.messages.size(), std::size_t{3});
        QVERIFY(!rig.window->isVisible());
        // Fields before the baud rate are read, the option after it is not.
        QCOMPARE(rig.settings.Manufacturer, std::string("Acme"));
        QCOMPARE(rig.settings.TTOTestOption, 10);
    }

    void CloseDuringARunAsksThenStopsTheWorkerFirst() {
        WindowRig rig;
        rig.LoadPlan(kLongPlan);
        rig.Control<QTableView>(IDC_TEST_LIST)->horizontalHeader()->resizeSection(2, 77);
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.Cell(0, kWaitColumn).isEmpty(), kPatienceMs);
        QTest::keyClick(rig.window.get(), Qt::Key_Escape);  // a stray key: answered by Esc
        QCOMPARE(rig.questions.size(), std::size_t{1});
        QCOMPARE(rig.questions[0].text, std::string(kStopRunAndClose));
        QVERIFY(rig.window->isVisible());
        QVERIFY(rig.RunGoing());
        rig.replies.push_back(Answer::Yes);
        QTest::keyClick(rig.window.get(), Qt::Key_Escape);
        QCOMPARE(rig.questions.size(), std::size_t{2});  // no test completed: nothing to save
        QVERIFY(!rig.window->isVisible());
        QCOMPARE(rig.window->result(), int(QDialog::Rejected));
        // The close stopped the run and nothing of it goes on.
        const SessionStatus status = rig.session.Status();
        QVERIFY(!status.threadsGoing);
        QVERIFY(status.run.end == RunEnd::Stopped);
        QCOMPARE(rig.settings.ColumnWidth[2], 77);
    }

    void CloseWhileTheWorkerOverrunsItsStop() {
        SettingsRecord settings;
        settings.TaskTerminateWaitTime = 50;
        UnitProfile slowDevice;
        slowDevice.accessMs = 1500;
        WindowRig rig(settings, slowDevice);
        rig.LoadPlan(kQuickPlan);
        rig.Press(IDC_START_STOP);
        rig.replies.push_back(Answer::Yes);
        rig.window->reject();
        QVERIFY(!rig.window->isVisible());
        // The window is given back; the plan stays for the worker, which the
        // window's end waits for.
        const SessionStatus status = rig.session.Status();
        QVERIFY(status.threadsGoing && !status.runGoing);
        rig.window.reset();
    }

    // The window's own box: "No" is the default, so Enter keeps the run.
    void TheRealQuestionBoxDefaultsToNoAndYesStopsAndCloses() {
        WindowRig rig;
        rig.window->askQuestion = rig.boxQuestion;
        QVERIFY(InTheLongRunsFirstWait(rig));
        QString text;
        QStringList buttons;
        WhenABoxShows([&](QMessageBox* box) {
            text = box->text();
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text().remove('&');
            }
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
            QTest::keyClick(box, Qt::Key_Return);
        });
        rig.Press(IDCANCEL_CLOSE);
        QCOMPARE(text, QString("A test run is in progress. Stop it and close?"));
        buttons.sort();
        QCOMPARE(buttons, QStringList({"No", "Yes"}));
        QVERIFY(rig.window->isVisible());
        QVERIFY(rig.RunGoing());
        WhenABoxShows([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        rig.window->close();  // the title bar's close
        QVERIFY(!rig.window->isVisible());
        QVERIFY(!rig.RunGoing());
    }

    void CompletedTestsNotSavedAreOfferedBeforeClosing() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver() && rig.session.Status().completedTests == 1,
                                 kPatienceMs);
        rig.replies.push_back(Answer::Cancel);
        rig.Press(IDCANCEL_CLOSE);
        QVERIFY(rig.window->isVisible());
        QCOMPARE(rig.questions.back().text, std::string(kSaveBeforeClose));
        rig.replies.push_back(Answer::Save);  // and the file dialog is cancelled
        rig.Press(IDCANCEL_CLOSE);
        QVERIFY(rig.window->isVisible());
        rig.replies.push_back(Answer::Save);
        rig.answers.push_back((rig.Folder() / "kept.csv").string());
        rig.Press(IDCANCEL_CLOSE);
        QVERIFY(!rig.window->isVisible());
        QCOMPARE(rig.questions.size(), std::size_t{3});
        const std::string totals = ReadFile(rig.Folder() / "totalsums.csv");
        QCOMPARE(std::count(totals.begin(), totals.end(), '\n'), 1);
    }

    // SIGTERM and logout: nobody answers, so nobody is asked; a question
    // already showing goes away unanswered.
    void ClosingWithoutAskingStopsTheRunEvenWithAQuestionShowing() {
        WindowRig rig;
        rig.window->askQuestion = rig.boxQuestion;
        QVERIFY(InTheLongRunsFirstWait(rig));
        WhenABoxShows([&rig](QMessageBox*) { rig.window->CloseWithoutAsking(); });
        QTest::keyClick(rig.window.get(), Qt::Key_Escape);
        QVERIFY(!rig.window->isVisible());
        QVERIFY(!rig.RunGoing());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void BothCloseButtonsSayWhatTheyClose() {
        WindowRig rig;
        const QString window = rig.Button(IDCANCEL_CLOSE)->toolTip();
        const QString port = rig.Button(IDC_DIAG_OPEN)->toolTip();
        QVERIFY(window.contains("window"));
        QVERIFY(port.contains("port"));
        QVERIFY(!window.contains("port") && !port.contains("window"));
    }

    void StatusStripShowsWhereTheRunStandsAndHowItEnded() {
        WindowRig rig;
        QCOMPARE(rig.window->RunStatusText(), QString());
        rig.LoadPlan(kLongPlan);
        rig.Press(IDC_START_STOP);
        const QRegularExpression waiting(
            "^Test 1 of 1   Wait [1-3]?[0-9] s left   Elapsed 0:00:\\d\\d$");
        QTRY_VERIFY_WITH_TIMEOUT(waiting.match(rig.window->RunStatusText()).hasMatch(),
                                 kPatienceMs);
        rig.Press(IDC_START_STOP);
        QVERIFY(rig.window->RunStatusText().startsWith("Run stopped   Elapsed 0:00:"));
        QVERIFY(rig.window->RunStatusText().endsWith("Unit power switched off"));
        rig.LoadPlan(kQuickPlan);
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->RunStatusText().startsWith("Run complete   "),
                                 kPatienceMs);
        QVERIFY(rig.window->RunStatusText().endsWith("Unit power switched off"));
    }

    void EnterDoesNotEndTheWindowTheTitleBarsCloseDoes() {
        WindowRig rig;
        QTest::keyClick(rig.Control(IDC_MANUFACTURER), Qt::Key_Return);
        QTest::keyClick(rig.window.get(), Qt::Key_Enter);
        QVERIFY(rig.window->isVisible());
        rig.Control<QLineEdit>(IDC_TYPE)->setText("Panel");
        rig.window->close();
        QVERIFY(!rig.window->isVisible());
        QCOMPARE(rig.settings.Type, std::string("Panel"));
    }

    void StartWithoutTheDeviceTellsTheDriversCode() {
        const std::string refused = "Can't open LabJack for voltage measurement. Code ";
        {
            WindowRig rig({}, {}, {}, false);
            rig.LoadPlan(kQuickPlan);
            QVERIFY(StartIsRefusedByTheDevice(rig, refused));
        }
        // A device gone since the last run: its log goes with the Start.
        test::DeviceTap tap;
        WindowRig rig(SessionOptions{StationOptions{true, false, {}, tap.Wrap()}, {}});
        rig.LoadPlan(kQuickPlan);
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver() && !rig.Rows(IDC_LOG_LIST).isEmpty(), kPatienceMs);
        rig.messages.clear();
        tap.Device().SetOpenError(LJE_LABJACK_NOT_FOUND);
        QVERIFY(StartIsRefusedByTheDevice(rig, refused + "1007"));
    }

    void DiagnosticPortOpensShowsLinesAndClosesWithTheWindow() {
        auto pty = PseudoTerminal::Open();
        QVERIFY(pty.has_value());
        WindowRig rig({}, {}, {DiagPort{pty->SlavePath(), "test line", 0}});
        LinesDecoded decoded;
        rig.session.Observers().Attach(decoded);
        auto* ports = rig.Control<QComboBox>(IDC_DIAG_PORT);
        rig.Control<QLineEdit>(IDC_BAUD_RATE)->setText("9600");
        QVERIFY(OpenTheTestLine(rig));
        QCOMPARE(rig.Button(IDC_DIAG_OPEN)->text(), QString("Close"));
        QVERIFY(!ports->isEnabled() && !rig.Control(IDC_BAUD_RATE)->isEnabled());
        QCOMPARE(rig.settings.BaudRate, 9600);
        QCOMPARE(pty->Write("1f 2 3\r\n", kPatienceMs).written, std::size_t{8});
        QTRY_COMPARE_WITH_TIMEOUT(rig.Rows(IDC_DIAG_LIST), QStringList({"1f 2 3"}), kPatienceMs);
        // Recorded for the judgement too, its first field read as hexadecimal.
        QCOMPARE(decoded.count.load(), 1);
        QCOMPARE(decoded.lastField1.load(), 31);
        rig.window->reject();
        rig.session.Observers().Detach(decoded);
        QVERIFY(!rig.session.Status().diagLinkOpen);
        QCOMPARE(rig.Rows(IDC_DIAG_LIST), QStringList());
    }

    void DiagnosticListKeepsTheNewest400Rows() {
        auto pty = PseudoTerminal::Open();
        QVERIFY(pty.has_value());
        WindowRig rig({}, {}, {DiagPort{pty->SlavePath(), "test line", 0}});
        LinesDecoded decoded;
        rig.session.Observers().Attach(decoded);
        QVERIFY(OpenTheTestLine(rig));
        std::string lines;
        for (int line = 0; line <= 400; ++line) {
            lines += Format("%x 1 2\r\n", line);
        }
        QCOMPARE(pty->Write(lines, kPatienceMs).written, lines.size());
        QTRY_VERIFY_WITH_TIMEOUT(decoded.count == 401 && rig.CurrentRow(IDC_DIAG_LIST) == 399,
                                 kPatienceMs);
        const QStringList rows = rig.Rows(IDC_DIAG_LIST);
        QCOMPARE(rows.size(), 400);
        QCOMPARE(rows.front(), QString("1 1 2"));
        QCOMPARE(rows.back(), QString("190 1 2"));
        QCOMPARE(decoded.lastField1.load(), 0x190);
        auto* list = rig.Control<QTreeView>(IDC_DIAG_LIST);
        const int width = list->columnWidth(0);
        const std::string wide = std::string(60, 'a') + "\r\n";
        QCOMPARE(pty->Write(wide, kPatienceMs).written, wide.size());
        QTRY_VERIFY_WITH_TIMEOUT(list->columnWidth(0) > width, kPatienceMs);
        const int wider = list->columnWidth(0);
        rig.Press(IDC_DIAG_CLEAR);
        QCOMPARE(rig.Rows(IDC_DIAG_LIST), QStringList());
        QCOMPARE(list->columnWidth(0), wider);
        rig.session.Observers().Detach(decoded);
    }

    void SaveWritesTheThreeFilesWhereChosen() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        rig.Control<QLineEdit>(IDC_MANUFACTURER)->setText("Acme");
        rig.Control<QLineEdit>(IDC_MODEL)->setText("X/100");
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver() && rig.Rows(IDC_LOG_LIST).size() >= 2, kPatienceMs);
        const std::filesystem::path chosen = rig.Folder() / "run1.csv";
        rig.answers.push_back(chosen.string());
        rig.Press(IDC_SAVE_TEST_DATA);
        QCOMPARE(rig.requests.back().path, (rig.Folder() / "Acme-X_100.csv").string());
        QCOMPARE(rig.requests.back().title, std::string("Test Data"));
        const std::string data = ReadFile(chosen);
        QVERIFY(data.starts_with("Manufacturer: Acme\r\nModel: X/100\r\n"));
        const QStringList log = rig.Rows(IDC_LOG_LIST);
        QCOMPARE(ReadFile(rig.Folder() / "run1_Sum.csv"), log.back().toStdString() + "\r\n");
        const std::string totals = ReadFile(rig.Folder() / "totalsums.csv");
        QCOMPARE(std::count(totals.begin(), totals.end(), '\n'), 1);
        rig.answers.push_back(chosen.string());
        rig.Press(IDC_SAVE_TEST_DATA);
        QCOMPARE(ReadFile(rig.Folder() / "totalsums.csv"), totals);
        QVERIFY(rig.messages.empty());
    }

    // F1 opens the menu the right mouse button opens: About and Load Limits...
    void AboutBoxIsReachedFromTheMenuAndF1() {
        WindowRig rig;
        const QList<QAction*> actions = rig.window->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions.front()->shortcut(), QKeySequence(QKeySequence::HelpContents));
        QStringList offered;
        QTimer::singleShot(0, [&offered] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                for (const QAction* item : menu->actions()) {
                    offered << item->text();
                }
                menu->close();
            }
        });
        actions.front()->trigger();
        QCOMPARE(offered,
                 (QStringList{"&About Orvalt...", "Load Limits...", "Open Report of Last Run"}));
        QVERIFY(!rig.window->windowIcon().availableSizes().isEmpty());
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QString("About Orvalt"));
        QVERIFY(!about.findChild<QLabel*>()->pixmap().isNull());
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            texts << label->text();
        }
        QVERIFY(texts.contains(QString::fromLatin1(orvalt::kVersionText)));
        QVERIFY(about.findChild<QPushButton*>()->isDefault());
    }
};

int RunMainWindowTests(int argc, char** argv) {
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "MainWindowTest.moc"
