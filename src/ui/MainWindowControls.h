#pragma once
// The main window's controls as drawn: identifier, kind, text and place in
// dialog units, in creation order (which is also the tab order), with the way
// each follows a resized window. The three lists share the extra height in
// proportion to their drawn heights and take all the extra width; what sits
// below them moves down with the bottom edge, what sits at the right edge
// moves with it.

#include <QRect>
#include <QSize>
#include <span>

#include "ui/DialogUnits.h"

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

enum class ControlKind { PushButton, Edit, CheckBox, ListView, ListBox, Label, DropDown };

// The identifier of a label that has none.
constexpr int kNoControlId = -1;
// The cancel command's button, "Close".
constexpr int IDCANCEL_CLOSE = 2;
// The label beside the driver model edit is the only one with an identifier.
constexpr int IDC_DRIVER_MODEL_LABEL = 1018;

struct ControlSpec {
    int id = kNoControlId;
    ControlKind kind = ControlKind::Label;
    const char* text = "";
    QRect du;
    Follow follow;
};

// The client area as drawn, in dialog units.
constexpr QSize kMainWindowSizeDu{569, 435};

std::span<const ControlSpec> MainWindowControls();

// The sixteen Time-to-OFF choices, "Cycle 1 @ Level 1" .. "Cycle 4 @ Level 4".
std::span<const char* const> TimeToOffChoices();

}  // namespace orvalt
