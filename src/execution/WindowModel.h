#pragma once
// The main window as the core sees it, without a toolkit: the rows of the test
// list, the log, the values of the dialog's fields, and the state of the
// controls a run changes, in the run's own terms (which control shows them is
// the window's business). The Qt window shows this model and keeps
// no state of its own beside it; the headless runner and the tests read it.

#include <cstdint>
#include <string>
#include <vector>

#include "config/TestPlan.h"
#include "execution/RunRecord.h"

namespace orvalt {

constexpr int kWaitColumn = 7;
constexpr int kStatusColumn = 8;

// What the Start/Stop button does when pressed.
enum class StartStop { Start, Stop };

// The controls a run changes. The plan and its options are Open, Save Test
// Data, Extra Log and Do Output 5: they are locked together while a run goes.
struct RunControlsState {
    StartStop startStop = StartStop::Start;
    bool startStopEnabled = false;  // no plan yet, or a stop under way
    bool planAndOptionsEnabled = true;
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
    const RunControlsState& Controls() const { return controls_; }
    int SelectedLogLine() const { return static_cast<int>(logLines_.size()) - 1; }
    int VisibleRow() const { return visibleRow_; }

    void ReplaceRows(std::vector<TestRowTexts> rows);
    // Sets a cell of an existing row; a row outside the list is ignored.
    void SetCell(int row, int column, std::string text);
    void MakeRowVisible(int row);
    void ClearRunCells();
    void AppendLog(std::string line);
    void ClearLog();
    void SetStartStop(StartStop action);
    void EnableStartStop(bool enabled);
    void EnablePlanAndOptions(bool enabled);

    DialogValues values;

  private:
    template <class Edit>
    void ChangeControls(Edit edit);

    std::vector<TestRowTexts> testRows_;
    std::vector<std::string> logLines_;
    RunControlsState controls_;
    int visibleRow_ = -1;
    WindowObserver* observer_;
};

}  // namespace orvalt
