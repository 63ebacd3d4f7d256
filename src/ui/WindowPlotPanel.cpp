// The window's plot panel, its place on the screen and its limits: the panel
// is placed to the right of the drawn controls when there is room, the
// window's size and place are kept beside the settings for each fixture, and
// "Load Limits..." loads and remembers a file.

#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>

#include "config/FixtureAccent.h"
#include "config/PlotPanelSetting.h"
#include "config/WindowPlaceSetting.h"
#include "ui/COrvaltDlg.h"

namespace orvalt {

namespace {

constexpr PanelSize kDefaultPanelSize{520, 0};
// The title bar and the frame the desktop adds around the window.
constexpr QSize kFrameAllowance{8, 32};

PanelSize StoredPanelSize(const std::filesystem::path& settingsFile) {
    if (settingsFile.empty()) {
        return kDefaultPanelSize;
    }
    RegistryStore store(settingsFile);
    return LoadPlotPanelSize(store).value_or(kDefaultPanelSize);
}

}  // namespace

void COrvaltDlg::BuildPlotPanel() {
    const PanelSize stored = StoredPanelSize(session_.Status().settingsFile);
    panelWidthPx_ = std::max(stored.width, kNarrowestPanel);
    plotPanel_ = std::make_unique<PlotPanel>(session_, banner_, this);
    RestoreWindowPlace(DefaultWindowSize(LayoutNow(), RoomOnScreen()));
    PlaceControls();
}

QSize COrvaltDlg::RoomOnScreen() const {
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    return shown->availableGeometry().size() - kFrameAllowance;
}

// Where this fixture's window was, when that is still on a screen; else the
// default size. A fixture's window that kept no place, or whose place would
// cover another running fixture's verdict, opens beside the others instead.
void COrvaltDlg::RestoreWindowPlace(QSize fallback) {
    std::optional<WindowPlace> place;
    if (const SessionStatus status = session_.Status(); !status.settingsFile.empty()) {
        RegistryStore store(status.settingsFile);
        place = LoadWindowPlace(store, status.fixture);
    }
    const QRect wanted = place ? QRect(place->x, place->y, place->width, place->height) : QRect();
    const QScreen* onScreen = place ? QGuiApplication::screenAt(wanted.center()) : nullptr;
    const bool usable = onScreen && wanted.width() > 0 && wanted.height() > 0;
    if (PlaceBesideOtherFixtures(usable ? std::optional(wanted) : std::nullopt)) {
        return;
    }
    if (!usable) {
        resize(fallback);
        return;
    }
    const QSize room = onScreen->availableGeometry().size() - kFrameAllowance;
    resize(wanted.size().boundedTo(room).expandedTo(minimumSize()));
    move(wanted.topLeft());
}

// True when the window was given a tile of its own.
bool COrvaltDlg::PlaceBesideOtherFixtures(const std::optional<QRect>& kept) {
    if (session_.Status().fixture.empty()) {
        return false;
    }
    const FixturesOnThisPc fixtures = session_.OtherFixtures();
    std::vector<QRect> verdicts;
    for (const FixtureClaim& other : fixtures.others) {
        if (const auto& v = other.verdict) {
            verdicts.emplace_back(v->x, v->y, v->width, v->height);
        }
    }
    if (kept &&
        !CoversAnyVerdict(QRect(kept->topLeft(), kept->size() + kFrameAllowance), verdicts)) {
        return false;
    }
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect tile = FixtureTile(fixtures.ownSlot, shown->availableGeometry(), verdicts);
    resize((tile.size() - kFrameAllowance).expandedTo(minimumSize()));
    move(tile.topLeft());
    return true;
}

void COrvaltDlg::TellVerdictPlace() {
    if (!isVisible()) {
        return;
    }
    const QPoint corner = banner_.mapToGlobal(QPoint(0, 0));
    session_.SetVerdictPlace(
        WindowPlace{corner.x(), corner.y(), banner_.width(), banner_.height()});
}

void COrvaltDlg::DressForFixture() {
    const SessionStatus status = session_.Status();
    if (status.fixture.empty()) {
        return;
    }
    RegistryStore store(status.settingsFile);
    const QColor accent = QColor::fromRgb(LoadFixtureAccent(store, status.fixture));
    banner_.SetFixture(QString::fromStdString(status.fixture), accent);
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

void COrvaltDlg::StoreWindowPlace() {
    const SessionStatus status = session_.Status();
    if (status.settingsFile.empty()) {
        return;
    }
    // Both go into the one settings file: when the first can't be written (its
    // lock held by a stuck program) the second would only wait as long again.
    RegistryStore store(status.settingsFile);
    if (!SavePlotPanelSize(store, PanelSize{panelWidthPx_, height()}).Ok()) {
        return;
    }
    const WindowPlace place{pos().x(), pos().y(), width(), height()};
    static_cast<void>(SaveWindowPlace(store, status.fixture, place));
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
