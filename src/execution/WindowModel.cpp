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

ControlState& WindowModel::MutableControl(ControlId id) {
    switch (id) {
        case IDC_START_STOP:
            return startStop_;
        case IDC_SAVE_TEST_DATA:
            return saveTestData_;
        case IDC_EXTRA_LOG:
            return extraLog_;
        case IDC_DO_OUTPUT5:
            return doOutput5_;
        case IDC_OPEN:
            return open_;
        default:
            return other_;
    }
}

const ControlState& WindowModel::Control(ControlId id) const {
    return const_cast<WindowModel*>(this)->MutableControl(id);
}

void WindowModel::NotifyControls() {
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

void WindowModel::SetCaption(ControlId id, std::string caption) {
    MutableControl(id).caption = std::move(caption);
    NotifyControls();
}

void WindowModel::Enable(ControlId id, bool enabled) {
    MutableControl(id).enabled = enabled;
    NotifyControls();
}

}  // namespace orvalt
