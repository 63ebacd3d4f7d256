#pragma once
// The Open/Close button of the diagnostic link, without the toolkit: the link
// flag, the settings it stores and what the window has to show afterwards.

#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsRecord.h"
#include "diaglink/CDiagCommPort.h"
#include "diaglink/DiagPorts.h"
#include "domain/Messages.h"

namespace orvalt {

// What the window shows when the link cannot be opened.
constexpr const char* kCommPortOpenFailedText = "Comm port open failed";

// kCommPortOpenFailedText, then the reason (CDiagCommPort::LastOpenError) on a
// second line when there is one.
std::string CommPortOpenFailureText(const std::string& reason);

enum class DiagOpenOutcome {
    Unchanged,   // nothing to do (bad baud rate field, no port chosen)
    Closed,      // button "Open", port list and baud rate enabled
    Opened,      // button "Close", port list and baud rate disabled
    OpenFailed,  // show kCommPortOpenFailedText; nothing else changes
};

class DiagLinkControl {
  public:
    DiagLinkControl(CDiagCommPort& link, SettingsRecord& settings)
        : link_(link), settings_(settings) {}

    // The button was pressed. baudRate is the field's value, nothing when it
    // does not hold an integer; selected is the chosen port, if any. The port's
    // number and the baud rate are stored as CommPort and BaudRate before the
    // opening is tried, whether or not it succeeds.
    DiagOpenOutcome OnDiagOpen(const WindowHandle& window, const DiagPort* selected,
                               std::optional<std::int32_t> baudRate);

    bool LinkOpen() const { return linkOpen_; }

  private:
    DiagOpenOutcome Close();
    DiagOpenOutcome Open(const WindowHandle& window, const DiagPort& port, std::int32_t baudRate);

    CDiagCommPort& link_;
    SettingsRecord& settings_;
    bool linkOpen_ = false;
};

}  // namespace orvalt
