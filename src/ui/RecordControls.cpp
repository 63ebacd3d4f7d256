#include "ui/RecordControls.h"

#include <QDesktopServices>
#include <QEvent>
#include <QUrl>

#include "platform/HostIdentity.h"

namespace orvalt {

namespace {

constexpr QRect kSerialLabelDu{7, 3, 49, 8};
constexpr QRect kSerialEditDu{59, 1, 112, 14};
constexpr QRect kOperatorLabelDu{177, 3, 34, 8};
constexpr QRect kOperatorEditDu{213, 1, 80, 14};
constexpr QRect kLotLabelDu{299, 3, 16, 8};
constexpr QRect kLotEditDu{317, 1, 80, 14};
constexpr QRect kHealthDu{403, 3, 159, 8};
constexpr int kHealthPollMs = 250;

constexpr Follow kBottomLeft{0, 0, 1, 0};
constexpr Follow kBottomWide{0, 1, 1, 0};

// A click or Tab into an edit selects its text, so the next barcode (a unit's,
// a badge's, a lot's) replaces the last one instead of adding to it.
class SelectAllOnFocus final : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            auto* edit = static_cast<QLineEdit*>(watched);
            QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
        }
        return false;
    }
};

QRect InBand(QRect du, int bandTopDu) {
    du.translate(0, bandTopDu);
    return du;
}

}  // namespace

RecordControls::RecordControls(QWidget& window, StationSession& session, int bandTopDu)
    : session_(session),
      bandTopDu_(bandTopDu),
      selectAllOnFocus_(std::make_unique<SelectAllOnFocus>()),
      serialLabel_(QStringLiteral("Serial Number:"), &window),
      serialEdit_(&window),
      operatorLabel_(QStringLiteral("Operator:"), &window),
      operatorEdit_(&window),
      lotLabel_(QStringLiteral("Lot:"), &window),
      lotEdit_(&window),
      health_(&window),
      reportAction_(QStringLiteral("Open Report of Last Run"), &window),
      healthTimer_(&window) {
    serialEdit_.setObjectName(QStringLiteral("serialNumber"));
    operatorEdit_.setObjectName(QStringLiteral("operatorName"));
    lotEdit_.setObjectName(QStringLiteral("lot"));
    for (QLineEdit* edit : {&serialEdit_, &operatorEdit_, &lotEdit_}) {
        edit->setMaxLength(static_cast<int>(kMaxSerialLength));
        edit->installEventFilter(selectAllOnFocus_.get());
    }
    operatorEdit_.setPlaceholderText(QString::fromStdString(OperatorLoginName()));
    health_.setObjectName(QStringLiteral("recordingHealth"));
    openInBrowser = [](const QString& file) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    };
    for (QLineEdit* edit : {&serialEdit_, &operatorEdit_, &lotEdit_}) {
        QObject::connect(edit, &QLineEdit::textChanged, edit, [this] { TellUnitOnTest(); });
    }
    const bool recorded = session_.Status().recordsRuns;
    reportAction_.setEnabled(recorded);
    QObject::connect(&reportAction_, &QAction::triggered, &window,
                     [this] { OpenReportOfLastRun(); });
    QObject::connect(&healthTimer_, &QTimer::timeout, &window, [this] { ShowHealth(); });
    if (recorded) {
        healthTimer_.start(kHealthPollMs);
    }
}

void RecordControls::TellUnitOnTest() {
    session_.SetUnitOnTest(serialEdit_.text().toStdString(), operatorEdit_.text().toStdString(),
                           lotEdit_.text().toStdString());
}

void RecordControls::Place(DialogBaseUnits base, const QSize& growth) {
    const auto place = [&](QWidget& control, const QRect& du, const Follow& follow) {
        control.setGeometry(
            FollowGrowth(DialogUnitsToPixels(InBand(du, bandTopDu_), base), follow, growth));
    };
    place(serialLabel_, kSerialLabelDu, kBottomLeft);
    place(serialEdit_, kSerialEditDu, kBottomLeft);
    place(operatorLabel_, kOperatorLabelDu, kBottomLeft);
    place(operatorEdit_, kOperatorEditDu, kBottomLeft);
    place(lotLabel_, kLotLabelDu, kBottomLeft);
    place(lotEdit_, kLotEditDu, kBottomLeft);
    place(health_, kHealthDu, kBottomWide);
}

void RecordControls::FocusSerial() {
    serialEdit_.setFocus(Qt::OtherFocusReason);
    serialEdit_.selectAll();
}

// Each change of the database's health is shown once, as it comes.
void RecordControls::ShowHealth() {
    for (const RecordingHealth& change : session_.TakeRecordingHealth()) {
        health_.setText(QString::fromStdString(change.message));
        health_.setToolTip(health_.text());  // the band may cut a long one short
    }
}

void RecordControls::OpenReportOfLastRun() {
    if (!session_.Status().recordsRuns) {
        return;
    }
    const auto report = session_.WriteLastRunReport();
    if (report.file.empty()) {
        ShowProblem(report.problem);
        return;
    }
    const QString file = QString::fromStdString(report.file.string());
    if (!openInBrowser(file)) {
        ShowProblem(ReportNotShownText(report.file.string()));
        return;
    }
    health_.setText(QStringLiteral("Report of the last run opened in the browser: ") + file);
    health_.setToolTip(health_.text());
}

void RecordControls::ShowProblem(const std::string& text) {
    if (showProblem) {
        showProblem(text);
    }
}

}  // namespace orvalt
