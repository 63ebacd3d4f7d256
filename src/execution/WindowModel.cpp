#include "execution/WindowModel.h"

namespace orvalt {

namespace {
WindowObserver& Silent() {
    static WindowObserver silent;
    return silent;
}
}  // namespace

WindowModel::WindowModel() : observer_(&Silent()) {}

void WindowModel::SetObserver(WindowObserver* observer) {
    observer_ = observer ? observer : &Silent();
}

template <class Edit>
void WindowModel::ChangeControls(Edit edit) {
    edit(controls_);
    observer_->ControlsChanged();
}

void WindowModel::ReplaceRows(std::vector<TestRowTexts> rows) {
    testRows_ = std::move(rows);
    visibleRow_ = -1;
    observer_->RowsReplaced();
}

void WindowModel::SetCell(int row, int column, std::string text) {
    if (row < 0 || static_cast<std::size_t>(row) >= testRows_.size() || column < 0 || column > 8) {
        return;
    }
    testRows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(text);
    observer_->CellChanged(row, column);
}

void WindowModel::MakeRowVisible(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= testRows_.size()) {
        return;
    }
    visibleRow_ = row;
    observer_->RowMadeVisible(row);
}

void WindowModel::ClearRunCells() {
    for (std::size_t row = 0; row < testRows_.size(); ++row) {
        SetCell(static_cast<int>(row), kWaitColumn, "");
        SetCell(static_cast<int>(row), kStatusColumn, "");
    }
}

void WindowModel::AppendLog(std::string line) {
    logLines_.push_back(std::move(line));
    observer_->LogAppended(logLines_.back());
}

void WindowModel::ClearLog() {
    logLines_.clear();
    observer_->LogCleared();
}

void WindowModel::SetStartStop(StartStop action) {
    ChangeControls([action](RunControlsState& c) { c.startStop = action; });
}

void WindowModel::EnableStartStop(bool enabled) {
    ChangeControls([enabled](RunControlsState& c) { c.startStopEnabled = enabled; });
}

void WindowModel::EnablePlanAndOptions(bool enabled) {
    ChangeControls([enabled](RunControlsState& c) { c.planAndOptionsEnabled = enabled; });
}

}  // namespace orvalt
