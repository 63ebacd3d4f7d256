#include "ui/COrvaltDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTreeView>
#include <array>

#include "config/TestPlanFile.h"
#include "diaglink/DiagSave.h"
#include "domain/Format.h"
#include "results/FixtureFileNames.h"
#include "results/TestDataExport.h"
#include "ui/AppIdentity.h"
#include "ui/CAboutDlg.h"
#include "ui/ControlLookup.h"
#include "ui/StandardErrorReport.h"
#include "ui/WholeNumber.h"

namespace orvalt {

namespace {

constexpr const char* kCsvFilter = "Comma separated files (*.csv)|*.csv";
constexpr int kTestRowHeightPx = 20;
constexpr int kDiagColumnWidthPx = 100;
constexpr int kDiagFontPoints = 8;
// The list views catch up with a flood of lines at most this often.
constexpr int kRefreshPeriodMs = 30;
// The lines under the window: the diagnostic link's receive errors, then
// where the run stands (the status strip).
constexpr QRect kLinkStatusDu{7, 433, 555, 10};
constexpr QRect kRunStatusDu{7, 445, 555, 10};
constexpr int kStatusBandsDu = 24;
constexpr int kRunStatusPeriodMs = 1000;
constexpr int kPlaceSettleMs = 300;
// Small enough for a screen at twice the scale; the controls scroll then.
constexpr QSize kSmallestWindow{400, 300};

// Told on standard error when the window closes without asking.
constexpr const char* kBaudRateNotTaken =
    "The Baud Rate field holds no whole number and was not taken; the baud rate stays %d.";

constexpr const char* kWindowCloseTip =
    "Closes the Orvalt window (a run in progress is stopped first)";
constexpr const char* kDiagOpenCloseTip =
    "Opens and closes the diagnostic serial port (Diag Comm Port)";

constexpr std::array<std::pair<Answer, QMessageBox::StandardButton>, 5> kAnswerButtons{{
    {Answer::Yes, QMessageBox::Yes},
    {Answer::No, QMessageBox::No},
    {Answer::Save, QMessageBox::Save},
    {Answer::Discard, QMessageBox::Discard},
    {Answer::Cancel, QMessageBox::Cancel},
}};

QMessageBox::StandardButton ButtonOf(Answer answer) {
    for (const auto& [each, button] : kAnswerButtons) {
        if (each == answer) {
            return button;
        }
    }
    return QMessageBox::NoButton;
}

// A box closed without a button press answers as Esc does.
Answer AnswerOf(QMessageBox::StandardButton button, Answer escape) {
    for (const auto& [answer, each] : kAnswerButtons) {
        if (each == button) {
            return answer;
        }
    }
    return escape;
}

// The controls that lock with the plan and its options while a run goes.
constexpr std::array<ControlId, 4> kPlanAndOptionControls{IDC_OPEN, IDC_SAVE_TEST_DATA,
                                                          IDC_EXTRA_LOG, IDC_DO_OUTPUT5};

const char* StartStopCaption(StartStop action) {
    return action == StartStop::Stop ? "Stop" : "Start";
}

struct DescriptionField {
    ControlId id;
    std::string UnitDescription::*value;
    std::string SettingsRecord::*setting;
};

constexpr std::array<DescriptionField, 7> kDescriptionFields{{
    {IDC_MANUFACTURER, &UnitDescription::manufacturer, &SettingsRecord::Manufacturer},
    {IDC_MODEL, &UnitDescription::model, &SettingsRecord::Model},
    {IDC_TYPE, &UnitDescription::type, &SettingsRecord::Type},
    {IDC_POWER, &UnitDescription::power, &SettingsRecord::Power},
    {IDC_SIZE, &UnitDescription::fixtureSize, &SettingsRecord::FixtureSize},
    {IDC_DRIVER_MANUFACTURER, &UnitDescription::driverManufacturer,
     &SettingsRecord::DriverManufacturer},
    {IDC_DRIVER_MODEL, &UnitDescription::driverModel, &SettingsRecord::DriverModel},
}};

// "Courier New" where the system has it, else its fixed-pitch font.
QFont DiagFont() {
    QFont font(QStringLiteral("Courier New"), kDiagFontPoints);
    font.setStyleHint(QFont::TypeWriter);
    if (QFontInfo(font).fixedPitch()) {
        return font;
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(kDiagFontPoints);
    return fixed;
}

DiagTextMetrics MetricsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    return DiagTextMetrics{[metrics](std::string_view text) {
                               return metrics.horizontalAdvance(QString::fromLatin1(
                                   text.data(), static_cast<qsizetype>(text.size())));
                           },
                           metrics.averageCharWidth()};
}

void SelectNewest(QAbstractItemView* view, int rows) {
    if (rows <= 0) {
        return;
    }
    const QModelIndex newest = view->model()->index(rows - 1, 0);
    view->setCurrentIndex(newest);
    view->scrollTo(newest, QAbstractItemView::EnsureVisible);
}

// Whether `window` opened `dialog`, or something that it opened did.
bool OpenedBy(const QWidget* dialog, const QWidget* window) {
    for (const QWidget* owner = dialog->parentWidget(); owner != nullptr;
         owner = owner->parentWidget()) {
        if (owner == window) {
            return true;
        }
    }
    return false;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

}  // namespace

COrvaltDlg::COrvaltDlg(StationSession& session, std::vector<DiagPort> extraPorts, QWidget* parent)
    : QDialog(parent),
      session_(session),
      settings_(session.Settings()),
      model_(session.Model()),
      ports_(ListDiagPorts(extraPorts)),
      ownPort_(extraPorts.empty() ? std::nullopt : std::optional(extraPorts.front().path)),
      banner_(this),
      scroll_(this),
      linkStatus_(this),
      runStatus_(this),
      aboutAction_(QString::fromLatin1(kAboutMenuText), this),
      helpAction_(QStringLiteral("Help"), this),
      loadLimitsAction_(QStringLiteral("Load Limits..."), this),
      record_(*this, session, kMainWindowSizeDu.height() + kStatusBandsDu),
      scanRouter_(*this, record_.SerialEdit(), {&record_.OperatorEdit(), &record_.LotEdit()}) {
    AttachToSession();
    UseDialogBoxes();
    DressWindow();
    DressForFixture();
    BuildControls();
    BuildPlotPanel();
    WriteControls();
    ControlsChanged();
    ConnectActions();
    RestoreLimits();
    StartTimers();
}

void COrvaltDlg::AttachToSession() {
    SessionFront front;
    front.view = this;
    front.model = this;
    front.runHooks = RunControlHooks{[this] { return Exchange(); },
                                     [this](const std::string& text) { ShowMessage(text); }};
    front.diagMetrics = MetricsOf(DiagFont());
    // Each post is handled by a queued call on the window's thread.
    front.posted = [this](const PostedMessage&) {
        QMetaObject::invokeMethod(
            this, [this] { session_.HandleNext(std::chrono::milliseconds(0)); },
            Qt::QueuedConnection);
    };
    front.unitPower = [this](const std::string&) { ShowRunStatus(); };
    session_.Attach(std::move(front));
}

// The real file dialog and message boxes; tests put their own in place.
void COrvaltDlg::UseDialogBoxes() {
    promptForFile = [this](FileRequest& request) {
        return PromptForFile(this, settings_, request);
    };
    messageBox = [this](const std::string& text) {
        QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kProgramName),
                        QString::fromStdString(text), QMessageBox::Ok, this);
        box.exec();
    };
    askQuestion = [this](const Question& question) { return AskInABox(question); };
}

void COrvaltDlg::DressWindow() {
    setWindowTitle(MainWindowTitle(session_.Status().fixture));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(MainIcon());
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
}

void COrvaltDlg::ConnectActions() {
    // F1 offers what the right mouse button offers.
    helpAction_.setShortcut(QKeySequence::HelpContents);
    addAction(&helpAction_);
    connect(&helpAction_, &QAction::triggered, this,
            [this] { ShowMenuAt(mapToGlobal(rect().center())); });
    connect(&aboutAction_, &QAction::triggered, this, [this] { ShowAbout(); });
    connect(&loadLimitsAction_, &QAction::triggered, this, [this] { OnLoadLimits(); });
    connect(&banner_.LoadLimitsButton(), &QPushButton::clicked, this, [this] { OnLoadLimits(); });
    // Until a run has begun, the panel shows the number the next one will take.
    connect(&record_.SerialEdit(), &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!session_.Verdicts().started) {
            banner_.SetSerial(text);
        }
    });
    record_.showProblem = [this](const std::string& text) { ShowMessage(text); };
}

void COrvaltDlg::StartTimers() {
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kRefreshPeriodMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] { RefreshViews(); });
    runStatusTimer_.setInterval(kRunStatusPeriodMs);
    connect(&runStatusTimer_, &QTimer::timeout, this, [this] { ShowRunStatus(); });
    runStatusTimer_.start();
    placeTimer_.setSingleShot(true);
    placeTimer_.setInterval(kPlaceSettleMs);
    connect(&placeTimer_, &QTimer::timeout, this, [this] { TellVerdictPlace(); });
}

COrvaltDlg::~COrvaltDlg() {
    session_.Attach({});  // the session outlives the window
    session_.CloseDiagnostics();
}

QWidget* COrvaltDlg::Control(int id) const {
    return FindControl(this, id);
}

// ---- Set-up ----

void COrvaltDlg::BuildControls() {
    const DialogBaseUnits base = BaseUnitsOf(font());
    scroll_.setObjectName(QStringLiteral("controlsArea"));
    scroll_.setFrameShape(QFrame::NoFrame);
    scroll_.setFocusPolicy(Qt::NoFocus);
    scroll_.setWidgetResizable(false);
    scroll_.setWidget(&canvas_);
    for (const ControlSpec& drawn : MainWindowControls()) {
        controls_.push_back(MakeControl(drawn));
        drawnPx_.push_back(DialogUnitsToPixels(drawn.du, base));
        if (drawn.id == IDC_TEST_LIST) {
            testListDrawnPx_ = drawnPx_.back();
        } else if (drawn.id == IDC_LOG_LIST) {
            logDrawnPx_ = drawnPx_.back();
        }
    }
    linkStatus_.setObjectName(QStringLiteral("linkStatus"));
    linkStatusDrawnPx_ = DialogUnitsToPixels(kLinkStatusDu, base);
    runStatus_.setObjectName(QStringLiteral("runStatus"));
    runStatusDrawnPx_ = DialogUnitsToPixels(kRunStatusDu, base);
    canvasDrawnPx_ = DialogUnitsToPixels(kMainWindowSizeDu, base);
    drawnSizePx_ =
        DialogUnitsToPixels(QSize(kMainWindowSizeDu.width(),
                                  kMainWindowSizeDu.height() + kStatusBandsDu + kRecordBandDu),
                            base);
    SetUpTestList();
    SetUpLogList();
    SetUpDiagList();
    SetUpDiagControls();
    ConnectButtons();
    setMinimumSize(kSmallestWindow);
    resize(drawnSizePx_);
    PlaceControls();
}

std::unique_ptr<QWidget> COrvaltDlg::MakeControl(const ControlSpec& drawn) {
    const QString text = QString::fromLatin1(drawn.text);
    std::unique_ptr<QWidget> control;
    switch (drawn.kind) {
        case ControlKind::PushButton: {
            auto button = std::make_unique<QPushButton>(text, &canvas_);
            button->setAutoDefault(false);  // Enter presses nothing
            control = std::move(button);
            break;
        }
        case ControlKind::Edit:
            control = std::make_unique<QLineEdit>(&canvas_);
            break;
        case ControlKind::CheckBox:
            control = std::make_unique<QCheckBox>(text, &canvas_);
            break;
        case ControlKind::ListView:
            if (drawn.id == IDC_TEST_LIST) {
                control = std::make_unique<QTableView>(&canvas_);
            } else {
                control = std::make_unique<QTreeView>(&canvas_);
            }
            break;
        case ControlKind::ListBox:
            control = std::make_unique<QListView>(&canvas_);
            break;
        case ControlKind::Label:
            control = std::make_unique<QLabel>(text, &canvas_);
            break;
        case ControlKind::DropDown:
            control = std::make_unique<QComboBox>(&canvas_);
            break;
    }
    if (drawn.id != kNoControlId) {
        control->setObjectName(ControlName(drawn.id));
    }
    return control;
}

void COrvaltDlg::SetUpTestList() {
    testList_ = FindControl<QTableView>(this, IDC_TEST_LIST);
    testList_->setModel(&testListModel_);
    testList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    testList_->setSelectionMode(QAbstractItemView::SingleSelection);
    testList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    testList_->setShowGrid(true);
    testList_->setWordWrap(false);
    QHeaderView* rows = testList_->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kTestRowHeightPx);
    QHeaderView* columns = testList_->horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < 9; ++column) {
        columns->resizeSection(
            column, std::max(0, settings_.ColumnWidth[static_cast<std::size_t>(column)]));
    }
}

void COrvaltDlg::SetUpLogList() {
    logList_ = FindControl<QListView>(this, IDC_LOG_LIST);
    logList_->setModel(&logListModel_);
    logList_->setUniformItemSizes(true);
    logList_->setSelectionMode(QAbstractItemView::SingleSelection);
    logList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void COrvaltDlg::SetUpDiagList() {
    diagList_ = FindControl<QTreeView>(this, IDC_DIAG_LIST);
    diagList_->setModel(&diagRowsModel_);
    diagList_->setHeaderHidden(true);
    diagList_->setRootIsDecorated(false);
    diagList_->setItemsExpandable(false);
    diagList_->setUniformRowHeights(true);
    diagList_->setSelectionMode(QAbstractItemView::SingleSelection);
    diagList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    diagList_->header()->setStretchLastSection(false);
    const QFont diagFont = DiagFont();
    diagList_->setFont(diagFont);
    diagList_->setColumnWidth(0, kDiagColumnWidthPx);
    session_.ResetDiagTable();
}

void COrvaltDlg::SetUpDiagControls() {
    portList_ = FindControl<QComboBox>(this, IDC_DIAG_PORT);
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        portList_->addItem(QString::fromStdString(ports_[i].label), static_cast<qulonglong>(i));
    }
    const auto selection = session_.PreselectPort(ports_, ownPort_);
    portList_->setCurrentIndex(selection ? static_cast<int>(*selection) : -1);
    baudEdit_ = FindControl<QLineEdit>(this, IDC_BAUD_RATE);
    diagOpenButton_ = FindControl<QPushButton>(this, IDC_DIAG_OPEN);
    ttoList_ = FindControl<QComboBox>(this, IDC_TTO_OPTION);
    for (const char* choice : TimeToOffChoices()) {
        ttoList_->addItem(QString::fromLatin1(choice));
    }
    ttoList_->setMaxVisibleItems(static_cast<int>(TimeToOffChoices().size()));
    extraLogBox_ = FindControl<QCheckBox>(this, IDC_EXTRA_LOG);
    doOutput5Box_ = FindControl<QCheckBox>(this, IDC_DO_OUTPUT5);
}

void COrvaltDlg::ConnectButtons() {
    const std::array<std::pair<int, void (COrvaltDlg::*)()>, 7> handlers{{
        {IDC_OPEN, &COrvaltDlg::LoadTestPlan},
        {IDC_START_STOP, &COrvaltDlg::OnStartStop},
        {IDC_SAVE_TEST_DATA, &COrvaltDlg::OnSaveTestData},
        {IDCANCEL_CLOSE, &COrvaltDlg::reject},
        {IDC_DIAG_OPEN, &COrvaltDlg::OnDiagOpen},
        {IDC_DIAG_CLEAR, &COrvaltDlg::OnDiagClear},
        {IDC_DIAG_SAVE, &COrvaltDlg::OnDiagSave},
    }};
    for (const auto& [id, handler] : handlers) {
        connect(FindControl<QPushButton>(this, id), &QPushButton::clicked, this,
                [this, handler = handler] { (this->*handler)(); });
    }
    // Both read "Close" while the port is open, one above the other.
    FindControl<QPushButton>(this, IDCANCEL_CLOSE)
        ->setToolTip(QString::fromLatin1(kWindowCloseTip));
    diagOpenButton_->setToolTip(QString::fromLatin1(kDiagOpenCloseTip));
}

// The members into the controls, as the window opens.
void COrvaltDlg::WriteControls() {
    DialogValues values = model_.values;
    for (const DescriptionField& field : kDescriptionFields) {
        values.description.*field.value = settings_.*field.setting;
    }
    values.baudRate = settings_.BaudRate;
    values.ttoOption = settings_.TTOTestOption;
    session_.SetDialogValues(values);
    for (const DescriptionField& field : kDescriptionFields) {
        FindControl<QLineEdit>(this, field.id)
            ->setText(QString::fromStdString(values.description.*field.value));
    }
    baudEdit_->setText(QString::number(values.baudRate));
    const bool listed = settings_.TTOTestOption >= 0 && settings_.TTOTestOption < ttoList_->count();
    ttoList_->setCurrentIndex(listed ? settings_.TTOTestOption : -1);
    extraLogBox_->setChecked(values.extraLog != 0);
    doOutput5Box_->setChecked(values.doOutput5 != 0);
}

// ---- Layout ----

void COrvaltDlg::PlaceControls() {
    const WindowPlaces places = PlanWindow(LayoutNow(), size());
    banner_.SetTypePixels(TypePixelsFor(height()));
    banner_.setGeometry(places.banner);
    scroll_.setGeometry(places.controls);
    canvas_.resize(places.canvas);
    const QSize growth = places.canvas - canvasDrawnPx_;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlSpec& drawn = MainWindowControls()[i];
        Follow follow = drawn.follow;
        if (growth.height() < 0) {
            const Shrink shrink = ShrinkOf(drawnPx_[i], testListDrawnPx_, logDrawnPx_);
            follow.moveY = shrink.moveY;
            follow.growY = shrink.growY;
        }
        QRect place = FollowGrowth(drawnPx_[i], follow, growth);
        if (drawn.kind == ControlKind::DropDown) {
            // The drawn height is that of the open list; closed, it is one line.
            place.setHeight(controls_[i]->sizeHint().height());
        }
        controls_[i]->setGeometry(place);
    }
    const Follow alongTheBottom{0, 1, 1, 0};
    linkStatus_.setGeometry(FollowGrowth(linkStatusDrawnPx_, alongTheBottom, places.bottomGrowth));
    runStatus_.setGeometry(FollowGrowth(runStatusDrawnPx_, alongTheBottom, places.bottomGrowth));
    if (plotPanel_) {
        plotPanel_->setVisible(places.plotShown);
        plotPanel_->setGeometry(places.plot);
    }
    record_.Place(BaseUnitsOf(font()), places.bottomGrowth);
}

LayoutInputs COrvaltDlg::LayoutNow() {
    return LayoutInputs{canvasDrawnPx_,
                        drawnSizePx_.height() - canvasDrawnPx_.height(),
                        testListDrawnPx_.height() + logDrawnPx_.height(),
                        panelWidthPx_,
                        style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                        [this](int width, int windowHeight) {
                            banner_.SetTypePixels(TypePixelsFor(windowHeight));
                            return banner_.HeightFor(width);
                        }};
}

void COrvaltDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceControls();
    placeTimer_.start();
}

void COrvaltDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    placeTimer_.start();
}

// ---- Keys, menu, About ----

void COrvaltDlg::keyPressEvent(QKeyEvent* event) {
    // Enter does nothing: the window ends only through its close sequence.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void COrvaltDlg::contextMenuEvent(QContextMenuEvent* event) {
    ShowMenuAt(event->globalPos());
}

void COrvaltDlg::ShowMenuAt(const QPoint& where) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("windowMenu"));
    menu.addAction(&aboutAction_);
    menu.addAction(&loadLimitsAction_);
    menu.addAction(&record_.ReportAction());
    menu.exec(where);
}

void COrvaltDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

// ---- Data exchange and messages ----

// Reads the controls into the model's values, in the window's field order. A
// baud rate field that holds no whole number keeps the last valid value: the
// operator is asked for one and the fields after it are not read, or, with
// nobody there to ask, it is told on standard error and the rest is read.
bool COrvaltDlg::Exchange() {
    DialogValues values = model_.values;
    values.extraLog = extraLogBox_->isChecked() ? 1 : 0;
    values.doOutput5 = doOutput5Box_->isChecked() ? 1 : 0;
    for (const DescriptionField& field : kDescriptionFields) {
        values.description.*field.value =
            FindControl<QLineEdit>(this, field.id)->text().toStdString();
    }
    const auto baudRate = ParseWholeNumber(baudEdit_->text().toStdString());
    if (baudRate) {
        values.baudRate = *baudRate;
    } else if (nobodyToAsk_) {
        ShowMessage(Format(kBaudRateNotTaken, values.baudRate));
    } else {
        session_.SetDialogValues(values);
        ShowMessage(kEnterAnInteger);
        baudEdit_->setFocus();
        baudEdit_->selectAll();
        return false;
    }
    values.ttoOption = ttoList_->currentIndex();
    session_.SetDialogValues(values);
    return baudRate.has_value();
}

void COrvaltDlg::ShowMessage(const std::string& text) {
    if (nobodyToAsk_) {
        ReportOnStandardError(text);
    } else if (messageBox) {
        messageBox(text);
    }
}

// ---- The model's changes ----

void COrvaltDlg::CellChanged(int row, int column) {
    testListModel_.CellChanged(row, column);
}

void COrvaltDlg::RowMadeVisible(int row) {
    rowToShow_ = row;
    ScheduleRefresh();
}

void COrvaltDlg::RowsReplaced() {
    rowToShow_ = -1;
    testListModel_.RowsReplaced();
}

void COrvaltDlg::LogAppended(const std::string& /*line*/) {
    ScheduleRefresh();
}

void COrvaltDlg::LogCleared() {
    logListModel_.Cleared();
}

void COrvaltDlg::ControlsChanged() {
    const RunControlsState& state = model_.Controls();
    auto* startStop = FindControl<QAbstractButton>(this, IDC_START_STOP);
    startStop->setText(QString::fromLatin1(StartStopCaption(state.startStop)));
    startStop->setEnabled(state.startStopEnabled);
    for (ControlId id : kPlanAndOptionControls) {
        FindControl<QAbstractButton>(this, id)->setEnabled(state.planAndOptionsEnabled);
    }
    ShowRunStatus();  // a run began or ended
    const bool going = !state.planAndOptionsEnabled;
    if (runGoing_ && !going) {
        record_.FocusSerial();  // ready for the next unit's scan
    }
    runGoing_ = going;
}

// The drift alarms of the last run follow the strip's own text until the next
// Start; the strip may cut them short, so they are all in its tooltip too.
void COrvaltDlg::ShowRunStatus() {
    const SessionStatus status = session_.Status();
    std::string text = StripText(status.run);
    const std::vector<std::string>& alarms = status.driftAlarms;
    for (const std::string& alarm : alarms) {
        text.append(&alarm == &alarms.front() ? "   " : "; ").append(alarm);
    }
    runStatus_.setText(QString::fromStdString(text));
    runStatus_.setToolTip(QString::fromStdString(JoinLines(alarms)));
}

void COrvaltDlg::AlarmsRaised(const std::vector<std::string>& /*lines*/) {
    ShowRunStatus();
}

void COrvaltDlg::ScheduleRefresh() {
    if (!refreshTimer_.isActive()) {
        refreshTimer_.start();
    }
}

// New log lines and diagnostic rows are shown, the newest selected, in one go.
void COrvaltDlg::RefreshViews() {
    if (logListModel_.Publish()) {
        SelectNewest(logList_, logListModel_.rowCount());
    }
    if (diagRowsPending_) {
        diagRowsPending_ = false;
        SelectNewest(diagList_, diagRowsModel_.rowCount());
    }
    if (rowToShow_ >= 0 && rowToShow_ < testListModel_.rowCount()) {
        testList_->scrollTo(testListModel_.index(rowToShow_, 0), QAbstractItemView::EnsureVisible);
    }
    rowToShow_ = -1;
}

// ---- Test plan ----

void COrvaltDlg::LoadTestPlan() {
    FileRequest request{FileChoice::Open, "TestCfg.csv", "Test Configuration", "csv",
                        kCsvFilter,       kDataFolder};
    if (promptForFile(request) != 1) {
        return;
    }
    LoadTestPlanFrom(request.path);
}

bool COrvaltDlg::LoadTestPlanFrom(const std::filesystem::path& file) {
    if (session_.Status().runGoing) {
        return false;  // the worker reads the plan in use
    }
    Result<LoadedPlan> loaded = LoadTestPlanFile(file);
    if (!loaded) {
        ShowMessage(loaded.Error());
        return false;
    }
    session_.UsePlan(std::move(loaded->plan), std::move(loaded->rows));
    if (!loaded->warning.empty()) {
        ShowMessage(loaded->warning);
    }
    session_.SetPlanSource(file.filename().string(), std::move(loaded->text));
    record_.FocusSerial();
    return true;
}

// ---- Run ----

void COrvaltDlg::OnStartStop() {
    if (session_.Status().startStopPress == StartStop::Stop) {
        session_.Stop();
        return;
    }
    if (!MayStartThisUnit()) {
        record_.FocusSerial();
        return;
    }
    if (session_.Start().Started()) {
        runSerial_ = session_.Status().unitSerial;
        banner_.SetSerial(QString::fromStdString(runSerial_));
        banner_.ShowTesting();  // the last run's verdict is not this one's
        // Disabling Open and the check boxes would pass the focus down the
        // tab order into the description; the scanner's next number belongs
        // in the Serial Number.
        record_.FocusSerial();
    }
}

// A line may require a serial number; a number already run here is a retest,
// which the operator confirms.
bool COrvaltDlg::MayStartThisUnit() {
    const UnitCheck unit = session_.CheckUnit();
    switch (unit.check) {
        case StartCheck::Go:
            return true;
        case StartCheck::SerialMissing:
            ShowMessage(kSerialRequired);
            return false;
        case StartCheck::DiagLinkClosed:
            ShowMessage(unit.text);
            return false;
        case StartCheck::Retest:
            break;
    }
    const Question retest{unit.text, {Answer::Yes, Answer::No}, Answer::No, Answer::No};
    return askQuestion(retest) == Answer::Yes;
}

void COrvaltDlg::OnSaveTestData() {
    if (!Exchange()) {
        return;
    }
    const UnitDescription& description = model_.values.description;
    FileRequest request{FileChoice::Save,
                        FixtureTestDataPath(settings_.DataDirPath, session_.Status().fixture,
                                            description.manufacturer, description.model)
                            .string(),
                        "Test Data",
                        "csv",
                        kCsvFilter,
                        kDataFolder};
    if (promptForFile(request) != 1) {
        return;
    }
    const SaveResult result = session_.SaveTestData(request.path);
    if (!result.Ok()) {
        ShowMessage(JoinLines(result.errors));
    }
}

// ---- Diagnostic link ----

void COrvaltDlg::OnDiagOpen() {
    std::optional<std::int32_t> baudRate;
    if (Exchange()) {
        baudRate = model_.values.baudRate;
    }
    const int item = portList_->currentIndex();
    const DiagPort* selected = item >= 0 ? &ports_[static_cast<std::size_t>(item)] : nullptr;
    ShowDiagOutcome(session_.OnDiagOpen(selected, baudRate));
}

void COrvaltDlg::ShowDiagOutcome(DiagOpenOutcome outcome) {
    switch (outcome) {
        case DiagOpenOutcome::Unchanged:
            return;
        case DiagOpenOutcome::OpenFailed:
            ShowMessage(CommPortOpenFailureText(session_.Status().linkOpenError));
            return;
        case DiagOpenOutcome::Opened:
        case DiagOpenOutcome::Closed:
            break;
    }
    const bool open = outcome == DiagOpenOutcome::Opened;
    diagOpenButton_->setText(open ? QStringLiteral("Close") : QStringLiteral("Open"));
    portList_->setEnabled(!open);
    baudEdit_->setEnabled(!open);
    linkStatus_.clear();
}

void COrvaltDlg::LinkErrorShown(const std::string& text) {
    // Shown where it does not mix with the run's log (which is saved as test
    // data) and replaced by the next one.
    linkStatus_.setText(QString::fromLocal8Bit(text));
}

void COrvaltDlg::DiagLineShown(const DiagLineResult& result) {
    diagRowsModel_.LineAdded();
    if (result.columnWidthPx) {
        diagList_->setColumnWidth(0, *result.columnWidthPx);
    }
    diagRowsPending_ = true;
    ScheduleRefresh();
}

void COrvaltDlg::OnDiagClear() {
    session_.OnDiagClear();
    diagRowsModel_.Cleared();
    diagRowsPending_ = false;
}

void COrvaltDlg::OnDiagSave() {
    FileRequest request{FileChoice::Save,
                        DefaultDiagSaveName(session_.Status().fixture),
                        "Save As",
                        "txt",
                        "Text files (*.txt)|*.txt",
                        kPlatformFolder};
    if (promptForFile(request) != 1) {
        return;
    }
    const Result<void> saved = SaveDiagRows(request.path, session_.Diag().rows);
    if (!saved) {
        ShowMessage(saved.Error());
    }
}

// ---- Close ----

void COrvaltDlg::reject() {
    if (closing_) {
        return;
    }
    const CloseConfirmationHooks hooks{askQuestion, [this] { OnSaveTestData(); }};
    if (session_.MayClose(hooks)) {
        CloseSequence();
    }
}

void COrvaltDlg::accept() {
    reject();
}

void COrvaltDlg::CloseWithoutAsking() {
    nobodyToAsk_ = true;
    DismissOpenDialogs();
    CloseSequence();
}

// Each box's or dialog's own loop ends when this handler returns, and the
// handler that opened it goes on as after Esc, with nobody to ask any more.
// Other windows of the process keep theirs.
void COrvaltDlg::DismissOpenDialogs() {
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (!popup->close()) {
            break;
        }
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog->isVisible() && OpenedBy(dialog, this)) {
            dialog->reject();
        }
    }
}

Answer COrvaltDlg::AskInABox(const Question& question) {
    if (nobodyToAsk_) {
        return question.escapeAnswer;
    }
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProgramName),
                    QString::fromStdString(question.text), QMessageBox::NoButton, this);
    for (Answer answer : question.buttons) {
        box.addButton(ButtonOf(answer));
    }
    box.setDefaultButton(ButtonOf(question.defaultAnswer));
    box.setEscapeButton(ButtonOf(question.escapeAnswer));
    box.exec();
    return AnswerOf(box.standardButton(box.clickedButton()), question.escapeAnswer);
}

// Each step frees only what no other thread uses any more: the worker stops
// before the plan goes, the link closes before its rows go.
void COrvaltDlg::CloseSequence() {
    if (closing_) {
        return;  // a prompt of this very sequence is showing
    }
    closing_ = true;
    session_.CloseRun();
    static_cast<void>(Exchange());
    session_.KeepWindowSettings(ColumnWidths());
    StoreWindowPlace();
    session_.Close();
    diagRowsModel_.Cleared();
    diagRowsPending_ = false;
    refreshTimer_.stop();
    QDialog::done(QDialog::Rejected);
}

std::array<std::int32_t, 9> COrvaltDlg::ColumnWidths() const {
    std::array<std::int32_t, 9> widths{};
    for (int column = 0; column < 9; ++column) {
        widths[static_cast<std::size_t>(column)] =
            testList_->horizontalHeader()->sectionSize(column);
    }
    return widths;
}

}  // namespace orvalt
