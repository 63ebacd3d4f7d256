#pragma once
// The main window as the core sees it, without a toolkit: the rows of the test
// list, the log, the values of the dialog's fields, and the caption and enabled
// state of the controls a run changes. The Qt window shows this model and keeps
// no state of its own beside it; the headless runner and the tests read it.

#include <cstdint>
#include <string>
#include <vector>

#include "config/TestPlan.h"
#include "execution/RunRecord.h"

namespace orvalt {

// Control identifiers of the main window.
enum ControlId : int {
    IDC_START_STOP = 1000,
    IDC_TEST_LIST = 1002,
    IDC_SAVE_TEST_DATA = 1004,
    IDC_LOG_LIST = 1006,
    IDC_EXTRA_LOG = 1007,
    IDC_DO_OUTPUT5 = 1008,
    IDC_OPEN = 1010,
    IDC_MANUFACTURER = 1011,
    IDC_MODEL = 1012,
    IDC_TYPE = 1013,
    IDC_POWER = 1014,
    IDC_SIZE = 1015,
    IDC_DRIVER_MANUFACTURER = 1016,
    IDC_DRIVER_MODEL = 1017,
    IDC_DIAG_LIST = 1019,
    IDC_DIAG_PORT = 1020,
    IDC_BAUD_RATE = 1021,
    IDC_DIAG_OPEN = 1022,
    IDC_DIAG_CLEAR = 1023,
    IDC_DIAG_SAVE = 1024,
    IDC_TTO_OPTION = 1025,
};

constexpr int kWaitColumn = 7;
constexpr int kStatusColumn = 8;

struct ControlState {
    std::string caption;
    bool enabled = true;
};

// The dialog's fields as its data exchange reads them.
struct DialogValues {
    std::int32_t extraLog = 0;
    std::int32_t doOutput5 = 0;
    UnitDescription description;
    std::int32_t baudRate = 115200;
    std::int32_t ttoOption = 0;
};

// Told of every change, so that a view repaints only what changed.
class WindowObserver {
  public:
    virtual ~WindowObserver() = default;
    virtual void CellChanged(int /*row*/, int /*column*/) {}
    virtual void RowMadeVisible(int /*row*/) {}
    virtual void RowsReplaced() {}
    virtual void LogAppended(const std::string& /*line*/) {}
    virtual void LogCleared() {}
    virtual void ControlsChanged() {}
};

class WindowModel {
  public:
    WindowModel();

    // The view to tell of changes; null for none.
    void SetObserver(WindowObserver* observer);

    const std::vector<TestRowTexts>& TestRows() const { return testRows_; }
    const std::vector<std::string>& LogLines() const { return logLines_; }
    const ControlState& Control(ControlId id) const;
    int SelectedLogLine() const { return static_cast<int>(logLines_.size()) - 1; }
    int VisibleRow() const { return visibleRow_; }

    void ReplaceRows(std::vector<TestRowTexts> rows);
    // Sets a cell of an existing row; a row outside the list is ignored.
    void SetCell(int row, int column, std::string text);
    void MakeRowVisible(int row);
    void ClearRunCells();
    void AppendLog(std::string line);
    void ClearLog();
    void SetCaption(ControlId id, std::string caption);
    void Enable(ControlId id, bool enabled);

    DialogValues values;

  private:
    ControlState& MutableControl(ControlId id);
    void NotifyControls();

    std::vector<TestRowTexts> testRows_;
    std::vector<std::string> logLines_;
    ControlState startStop_{"Start", false};
    ControlState saveTestData_{"Save Test Data", true};
    ControlState extraLog_{"Extra Log", true};
    ControlState doOutput5_{"Do Output 5", true};
    ControlState open_{"Open", true};
    ControlState other_{"", true};
    int visibleRow_ = -1;
    WindowObserver* observer_;
};

}  // namespace orvalt
