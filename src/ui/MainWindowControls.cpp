#include "ui/MainWindowControls.h"

#include <array>

#include "execution/WindowModel.h"

namespace orvalt {

namespace {

// Drawn heights of the test list, the log and the diagnostic list: their
// shares of any extra height.
constexpr double kListsHeight = 121.0 + 134.0 + 88.0;
constexpr double kTestShare = 121.0 / kListsHeight;
constexpr double kLogShare = 134.0 / kListsHeight;
constexpr double kDiagShare = 88.0 / kListsHeight;

constexpr Follow kStays{};
constexpr Follow kTestListFollow{0, 1, 0, kTestShare};
constexpr Follow kLogListFollow{0, 1, kTestShare, kLogShare};
constexpr Follow kDiagListFollow{0, 1, kTestShare + kLogShare, kDiagShare};
// Beside the diagnostic list, at the right edge.
constexpr Follow kDiagSide{1, 0, kTestShare + kLogShare, 0};
constexpr Follow kBottomLeft{0, 0, 1, 0};
constexpr Follow kBottomRight{1, 0, 1, 0};

using K = ControlKind;

constexpr std::array kControls{
    ControlSpec{IDC_OPEN, K::PushButton, "Open", {7, 7, 50, 14}, kStays},
    ControlSpec{IDC_START_STOP, K::PushButton, "Start", {68, 7, 50, 14}, kStays},
    ControlSpec{IDC_MANUFACTURER, K::Edit, "", {59, 379, 112, 14}, kBottomLeft},
    ControlSpec{IDC_MODEL, K::Edit, "", {59, 396, 112, 14}, kBottomLeft},
    ControlSpec{IDC_TYPE, K::Edit, "", {59, 414, 112, 14}, kBottomLeft},
    ControlSpec{IDC_POWER, K::Edit, "", {203, 379, 40, 14}, kBottomLeft},
    ControlSpec{IDC_SIZE, K::Edit, "", {203, 396, 40, 14}, kBottomLeft},
    ControlSpec{IDC_DRIVER_MANUFACTURER, K::Edit, "", {327, 379, 99, 14}, kBottomLeft},
    ControlSpec{IDC_DRIVER_MODEL, K::Edit, "", {327, 396, 99, 14}, kBottomLeft},
    ControlSpec{
        IDC_SAVE_TEST_DATA, K::PushButton, "Save Test Data", {440, 414, 67, 14}, kBottomRight},
    ControlSpec{IDCANCEL_CLOSE, K::PushButton, "Close", {512, 414, 50, 14}, kBottomRight},
    ControlSpec{IDC_DO_OUTPUT5, K::CheckBox, "Do Output 5", {500, 380, 55, 10}, kBottomRight},
    ControlSpec{IDC_EXTRA_LOG, K::CheckBox, "Extra Log", {500, 393, 47, 10}, kBottomRight},
    ControlSpec{IDC_TEST_LIST, K::ListView, "", {7, 23, 555, 121}, kTestListFollow},
    ControlSpec{IDC_LOG_LIST, K::ListBox, "", {7, 150, 555, 134}, kLogListFollow},
    ControlSpec{kNoControlId, K::Label, "Manufacturer:", {9, 381, 47, 8}, kBottomLeft},
    ControlSpec{kNoControlId, K::Label, "Model Number:", {7, 399, 49, 8}, kBottomLeft},
    ControlSpec{kNoControlId, K::Label, "Type:", {36, 416, 20, 8}, kBottomLeft},
    ControlSpec{kNoControlId, K::Label, "Power:", {177, 381, 24, 8}, kBottomLeft},
    ControlSpec{kNoControlId, K::Label, "Size:", {185, 399, 16, 8}, kBottomLeft},
    ControlSpec{kNoControlId, K::Label, "Driver Manufacturer:", {253, 381, 68, 8}, kBottomLeft},
    ControlSpec{IDC_DRIVER_MODEL_LABEL, K::Label, "Driver Model:", {277, 399, 44, 8}, kBottomLeft},
    ControlSpec{IDC_DIAG_LIST, K::ListView, "", {7, 287, 485, 88}, kDiagListFollow},
    ControlSpec{kNoControlId, K::Label, "Diag Comm Port:", {500, 287, 54, 8}, kDiagSide},
    ControlSpec{IDC_DIAG_PORT, K::DropDown, "", {500, 298, 62, 149}, kDiagSide},
    ControlSpec{kNoControlId, K::Label, "Baud Rate:", {500, 314, 37, 8}, kDiagSide},
    ControlSpec{IDC_BAUD_RATE, K::Edit, "", {500, 325, 62, 14}, kDiagSide},
    ControlSpec{IDC_DIAG_OPEN, K::PushButton, "Open", {500, 342, 62, 14}, kDiagSide},
    ControlSpec{IDC_DIAG_CLEAR, K::PushButton, "CLR", {500, 359, 29, 14}, kDiagSide},
    ControlSpec{IDC_DIAG_SAVE, K::PushButton, "SAV", {532, 359, 29, 14}, kDiagSide},
    ControlSpec{kNoControlId, K::Label, "Time to OFF test option:", {242, 417, 79, 8}, kBottomLeft},
    ControlSpec{IDC_TTO_OPTION, K::DropDown, "", {327, 415, 99, 144}, kBottomLeft},
};

constexpr std::array<const char*, 16> kTimeToOffChoices{
    "Cycle 1 @ Level 1", "Cycle 1 @ Level 2", "Cycle 1 @ Level 3", "Cycle 1 @ Level 4",
    "Cycle 2 @ Level 1", "Cycle 2 @ Level 2", "Cycle 2 @ Level 3", "Cycle 2 @ Level 4",
    "Cycle 3 @ Level 1", "Cycle 3 @ Level 2", "Cycle 3 @ Level 3", "Cycle 3 @ Level 4",
    "Cycle 4 @ Level 1", "Cycle 4 @ Level 2", "Cycle 4 @ Level 3", "Cycle 4 @ Level 4",
};

}  // namespace

std::span<const ControlSpec> MainWindowControls() {
    return kControls;
}

std::span<const char* const> TimeToOffChoices() {
    return kTimeToOffChoices;
}

}  // namespace orvalt
