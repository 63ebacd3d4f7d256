#pragma once
// The main window: shows a station session (its WindowModel, diagnostic rows
// and controls) and turns button presses into calls of it. It keeps no state
// of a run of its own and routes no messages: the session handles them, on the
// window's thread, and tells the window what to show.

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QTimer>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "diaglink/DiagPorts.h"
#include "execution/CloseConfirmation.h"
#include "station/StationSession.h"
#include "ui/ListModels.h"
#include "ui/MainWindowControls.h"
#include "ui/PlotPanel.h"
#include "ui/PromptForFile.h"
#include "ui/RecordControls.h"
#include "ui/ScanRouter.h"
#include "ui/VerdictBanner.h"
#include "ui/WindowLayout.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListView;
class QPushButton;
class QTableView;
class QTreeView;

namespace orvalt {

class COrvaltDlg final : public QDialog, private WindowObserver, private SessionView {
    Q_OBJECT

  public:
    // `session` outlives the window. `extraPorts` join the system's serial
    // ports in the port list (the simulator's pseudo-terminal).
    COrvaltDlg(StationSession& session, std::vector<DiagPort> extraPorts = {},
               QWidget* parent = nullptr);
    // The session no longer calls on the window.
    ~COrvaltDlg() override;

    // The file dialog and the message box, replaceable by tests. promptForFile
    // returns 1 when a file was confirmed (its path then in the request).
    std::function<int(FileRequest&)> promptForFile;
    std::function<void(const std::string&)> messageBox;
    // A question with its own buttons (the close's), replaceable in the same way.
    std::function<Answer(const Question&)> askQuestion;

    // The buttons' handlers.
    void LoadTestPlan();
    void OnStartStop();
    void OnSaveTestData();
    void OnDiagOpen();
    void OnDiagClear();
    void OnDiagSave();
    void ShowAbout();

    // Loads a plan file chosen some other way; false (after telling the
    // operator) when it could not be loaded and the plan in use stays.
    bool LoadTestPlanFrom(const std::filesystem::path& file);

    // "Load Limits..." in the context menu. askForLimitsFile is replaceable by
    // tests; an empty path means the operator cancelled.
    std::function<std::filesystem::path()> askForLimitsFile;
    void OnLoadLimits();
    // False (after telling the operator which line is at fault) when the file
    // was refused and the limits in force stay.
    bool LoadLimitsFrom(const std::filesystem::path& file);
    PlotPanel& Panel() { return *plotPanel_; }
    VerdictBanner& Verdict() { return banner_; }
    RecordControls& Records() { return record_; }

    // Esc, "Close" and the title bar's close button all come here; so would
    // the OK command, which nothing in the window issues. A run in progress or
    // tests not saved are asked about first.
    void reject() override;
    void accept() override;
    // SIGTERM and logout: the close sequence with nobody there to answer a
    // box. Boxes and dialogs showing end as their Esc would end them; from
    // then on nothing is asked and what a box would say goes to standard error.
    void CloseWithoutAsking();
    bool ClosedWithoutAsking() const { return nobodyToAsk_; }

    // What the window shows, for tests and automation.
    QWidget* Control(int id) const;
    const WindowModel& Model() const { return session_.Model(); }
    const DiagView& Diag() const { return session_.Diag(); }
    QString LinkStatus() const { return linkStatus_.text(); }
    QString RunStatusText() const { return runStatus_.text(); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void ShowMenuAt(const QPoint& where);

  private:
    void CellChanged(int row, int column) override;
    void RowMadeVisible(int row) override;
    void RowsReplaced() override;
    void LogAppended(const std::string& line) override;
    void LogCleared() override;
    void ControlsChanged() override;

    void AttachToSession();
    void UseDialogBoxes();
    void DressWindow();
    void ConnectActions();
    void StartTimers();
    void BuildControls();
    std::unique_ptr<QWidget> MakeControl(const ControlSpec& drawn);
    void SetUpTestList();
    void SetUpLogList();
    void SetUpDiagList();
    void SetUpDiagControls();
    void ConnectButtons();
    void WriteControls();
    void PlaceControls();
    LayoutInputs LayoutNow();
    QSize RoomOnScreen() const;
    void DressForFixture();
    void RestoreWindowPlace(QSize fallback);
    bool PlaceBesideOtherFixtures(const std::optional<QRect>& kept);
    void TellVerdictPlace();

    bool Exchange();
    void ShowMessage(const std::string& text);
    void DiagLineShown(const DiagLineResult& result) override;
    void LinkErrorShown(const std::string& text) override;
    void AlarmsRaised(const std::vector<std::string>& lines) override;
    void ShowDiagOutcome(DiagOpenOutcome outcome);
    void ScheduleRefresh();
    void RefreshViews();
    void CloseSequence();
    bool MayStartThisUnit();
    void DismissOpenDialogs();
    Answer AskInABox(const Question& question);
    void ShowRunStatus();
    std::array<std::int32_t, 9> ColumnWidths() const;
    void BuildPlotPanel();
    void RestoreLimits();
    void StoreWindowPlace();

    StationSession& session_;
    const SettingsRecord& settings_;
    const WindowModel& model_;

    TestListModel testListModel_{model_};
    LogListModel logListModel_{model_};
    DiagRowsModel diagRowsModel_{session_.Diag().rows};

    std::vector<DiagPort> ports_;
    // The simulated driver's own port, offered first to a fixture.
    std::optional<std::string> ownPort_;

    // The verdict panel across the top; the plot panel feeds it.
    VerdictBanner banner_;
    // The drawn controls sit on the canvas, which scrolls only on a screen too
    // small for them.
    QScrollArea scroll_;
    QWidget canvas_;
    // Children of the canvas, freed before it; controls_[i] sits at
    // drawnPx_[i] in the canvas's drawn size.
    std::vector<std::unique_ptr<QWidget>> controls_;
    std::vector<QRect> drawnPx_;
    QSize canvasDrawnPx_;
    // The lists that give up height on a low window.
    QRect testListDrawnPx_;
    QRect logDrawnPx_;
    // The canvas and the bands below it, as drawn.
    QSize drawnSizePx_;
    QLabel linkStatus_;
    QRect linkStatusDrawnPx_;
    QLabel runStatus_;
    QRect runStatusDrawnPx_;
    QTimer runStatusTimer_;
    QAction aboutAction_;
    QAction helpAction_;
    QAction loadLimitsAction_;
    // To the right of the drawn controls, which keep their places.
    std::unique_ptr<PlotPanel> plotPanel_;
    int panelWidthPx_ = 0;
    RecordControls record_;
    ScanRouter scanRouter_;
    // The serial number the last run began under, and whether a run is going.
    std::string runSerial_;
    bool runGoing_ = false;
    QTimer refreshTimer_;
    // Tells the other fixtures where the verdict panel went, once a move or a
    // resize has settled.
    QTimer placeTimer_;
    bool diagRowsPending_ = false;
    int rowToShow_ = -1;
    bool closing_ = false;
    bool nobodyToAsk_ = false;

    QTableView* testList_ = nullptr;
    QListView* logList_ = nullptr;
    QTreeView* diagList_ = nullptr;
    QComboBox* portList_ = nullptr;
    QComboBox* ttoList_ = nullptr;
    QLineEdit* baudEdit_ = nullptr;
    QPushButton* diagOpenButton_ = nullptr;
    QCheckBox* extraLogBox_ = nullptr;
    QCheckBox* doOutput5Box_ = nullptr;
};

}  // namespace orvalt
