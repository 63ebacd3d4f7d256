#include "diaglink/DiagLinkControl.h"

namespace orvalt {

std::string CommPortOpenFailureText(const std::string& reason) {
    std::string text = kCommPortOpenFailedText;
    if (!reason.empty()) {
        text += '\n' + reason;
    }
    return text;
}

DiagOpenOutcome DiagLinkControl::OnDiagOpen(const WindowHandle& window, const DiagPort* selected,
                                            std::optional<std::int32_t> baudRate) {
    if (!baudRate) {
        return DiagOpenOutcome::Unchanged;
    }
    if (linkOpen_) {
        return Close();
    }
    if (selected == nullptr) {
        return DiagOpenOutcome::Unchanged;
    }
    return Open(window, *selected, *baudRate);
}

DiagOpenOutcome DiagLinkControl::Close() {
    link_.ClearNotificationWindow();
    link_.CloseLink();
    linkOpen_ = false;
    return DiagOpenOutcome::Closed;
}

DiagOpenOutcome DiagLinkControl::Open(const WindowHandle& window, const DiagPort& port,
                                      std::int32_t baudRate) {
    settings_.CommPort = port.number;
    settings_.BaudRate = baudRate;
    if (!link_.OpenLink(window, port.path, baudRate)) {
        return DiagOpenOutcome::OpenFailed;
    }
    linkOpen_ = true;
    return DiagOpenOutcome::Opened;
}

}  // namespace orvalt
