#pragma once
// The main window: shows the WindowModel, the diagnostic rows and the
// controls, and turns button presses and posted messages into calls of the
// core (RunControl, the plan reader, the export, the diagnostic link). It
// keeps no state of a run of its own.

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/SettingsRecord.h"
#include "config/TestPlan.h"
#include "diaglink/CDiagCommPort.h"
#include "diaglink/DiagLinkControl.h"
#include "diaglink/DiagPorts.h"
#include "diaglink/DiagView.h"
#include "execution/CloseConfirmation.h"
#include "execution/RunControl.h"
#include "execution/WindowModel.h"
#include "station/Station.h"
#include "ui/ListModels.h"
#include "ui/MainWindowControls.h"
#include "ui/PromptForFile.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListView;
class QPushButton;
class QTableView;
class QTreeView;

namespace orvalt {

class COrvaltDlg final : public QDialog, private WindowObserver {
    Q_OBJECT

  public:
    // `settings` and `station` outlive the window. `extraPorts` join the
    // system's serial ports in the port list (the simulator's pseudo-terminal).
    COrvaltDlg(SettingsRecord& settings, Station& station, std::vector<DiagPort> extraPorts = {},
               QWidget* parent = nullptr);
    // Nothing posted from now on reaches the window; waits for a stopped
    // worker that overran its stop.
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

    // Esc, "Close" and the title bar's close button all come here; so would
    // the OK command, which nothing in the window issues. A run in progress or
    // tests not saved are asked about first.
    void reject() override;
    void accept() override;
    // SIGTERM and logout: the close sequence without a question, which nobody
    // would be there to answer; a question showing is answered as by Esc.
    void CloseWithoutAsking();

    // What the window shows, for tests and automation.
    QWidget* Control(int id) const;
    const WindowModel& Model() const { return model_; }
    const DiagView& Diag() const { return diagView_; }
    const std::vector<DiagPort>& Ports() const { return ports_; }
    RunControl& Runs() { return runControl_; }
    bool DiagLinkOpen() const { return link_.IsOpen(); }
    QString LinkStatus() const { return linkStatus_.text(); }
    QString RunStatusText() const { return runStatus_.text(); }
    // Where the worker and the link post: queued calls on the window's thread.
    WindowHandle Handle() const { return window_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void CellChanged(int row, int column) override;
    void RowMadeVisible(int row) override;
    void RowsReplaced() override;
    void LogAppended(const std::string& line) override;
    void LogCleared() override;
    void ControlsChanged() override;

    void BuildControls();
    std::unique_ptr<QWidget> MakeControl(const ControlSpec& drawn);
    void SetUpTestList();
    void SetUpLogList();
    void SetUpDiagList();
    void SetUpDiagControls();
    void ConnectButtons();
    void WriteControls();
    void PlaceControls();

    bool Exchange();
    void ShowMessage(const std::string& text);
    void Dispatch(const PostedMessage& message);
    void OnDiagLine(const std::string& line);
    void ShowDiagOutcome(DiagOpenOutcome outcome);
    void ScheduleRefresh();
    void RefreshViews();
    void ReplacePlan(TestPlan plan);
    void FreePlan();
    void CloseSequence();
    Answer AskInABox(const Question& question);
    void ShowRunStatus();
    void StoreColumnWidths();
    void StoreDescription();

    SettingsRecord& settings_;
    Station& station_;
    WindowHandle window_;
    WindowModel model_;
    DiagView diagView_;
    // Kept while a stopped worker that overran its stop may still read them.
    std::unique_ptr<TestPlan> plan_;
    std::vector<std::unique_ptr<TestPlan>> retiredPlans_;

    TestListModel testListModel_{model_};
    LogListModel logListModel_{model_};
    DiagRowsModel diagRowsModel_{diagView_.rows};

    CDiagCommPort link_;
    DiagLinkControl diagControl_;
    std::vector<DiagPort> ports_;
    DiagLineSinks diagSinks_;

    // Children of the window, freed before it; controls_[i] sits at
    // drawnPx_[i] in the window's drawn size.
    std::vector<std::unique_ptr<QWidget>> controls_;
    std::vector<QRect> drawnPx_;
    QSize drawnSizePx_;
    QLabel linkStatus_;
    QRect linkStatusDrawnPx_;
    QLabel runStatus_;
    QRect runStatusDrawnPx_;
    QTimer runStatusTimer_;
    QPointer<QMessageBox> openQuestion_;
    QAction aboutAction_;
    QTimer refreshTimer_;
    bool diagRowsPending_ = false;
    int rowToShow_ = -1;
    bool closing_ = false;

    QTableView* testList_ = nullptr;
    QListView* logList_ = nullptr;
    QTreeView* diagList_ = nullptr;
    QComboBox* portList_ = nullptr;
    QComboBox* ttoList_ = nullptr;
    QLineEdit* baudEdit_ = nullptr;
    QPushButton* diagOpenButton_ = nullptr;
    QCheckBox* extraLogBox_ = nullptr;
    QCheckBox* doOutput5Box_ = nullptr;

    // Last: it stops and waits for the worker before anything it uses goes.
    RunControl runControl_;
};

}  // namespace orvalt
