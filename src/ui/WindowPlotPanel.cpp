// The window's plot panel and its limits: the panel is placed to the right of
// the drawn controls (the window grows for it, no control moves), its size is
// kept beside the settings, and "Load Limits..." loads and remembers a file.

#include <QFileDialog>

#include "config/PlotPanelSetting.h"
#include "ui/COrvaltDlg.h"

namespace orvalt {

namespace {

constexpr PanelSize kDefaultPanelSize{520, 0};
constexpr int kNarrowestPanel = 240;

PanelSize StoredPanelSize(const std::filesystem::path& settingsFile) {
    if (settingsFile.empty()) {
        return kDefaultPanelSize;
    }
    RegistryStore store(settingsFile);
    return LoadPlotPanelSize(store).value_or(kDefaultPanelSize);
}

}  // namespace

void COrvaltDlg::BuildPlotPanel() {
    const PanelSize stored = StoredPanelSize(session_.SettingsFile());
    panelWidthPx_ = std::max(stored.width, kNarrowestPanel);
    plotPanel_ = std::make_unique<PlotPanel>(session_, this);
    const QSize least = drawnSizePx_ + QSize(panelWidthPx_, 0);
    setMinimumSize(least);
    resize(least.expandedTo(QSize(least.width(), stored.height)));
    plotPanel_->show();
    PlaceControls();
}

void COrvaltDlg::RestoreLimits() {
    const std::string error = session_.RestoreLimits();
    if (!error.empty()) {
        // Said once the window is up; the station goes on without limits.
        QMetaObject::invokeMethod(
            this, [this, error] { ShowMessage("Limits not loaded: " + error); },
            Qt::QueuedConnection);
    }
    plotPanel_->CatchUp();
}

void COrvaltDlg::StorePlotPanelSize() {
    if (session_.SettingsFile().empty()) {
        return;
    }
    RegistryStore store(session_.SettingsFile());
    static_cast<void>(SavePlotPanelSize(store, PanelSize{panelWidthPx_, height()}));
}

void COrvaltDlg::OnLoadLimits() {
    const std::filesystem::path file =
        askForLimitsFile ? askForLimitsFile()
                         : std::filesystem::path(
                               QFileDialog::getOpenFileName(this, QStringLiteral("Load Limits"), {},
                                                            QStringLiteral("Limits (*.csv)"))
                                   .toStdString());
    if (!file.empty()) {
        LoadLimitsFrom(file);
    }
}

bool COrvaltDlg::LoadLimitsFrom(const std::filesystem::path& file) {
    std::string rememberError;
    const std::string error =
        session_.LoadLimits(file, StationSession::Remember::Yes, &rememberError);
    if (!error.empty()) {
        ShowMessage("Limits not loaded: " + error);
    } else if (!rememberError.empty()) {
        ShowMessage(rememberError);
    }
    plotPanel_->CatchUp();
    return error.empty();
}

}  // namespace orvalt
