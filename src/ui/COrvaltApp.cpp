#include "ui/COrvaltApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <QTimer>

#include "records/ResultsSetting.h"
#include "station/StationSession.h"
#include "ui/AppIdentity.h"
#include "ui/COrvaltDlg.h"
#include "ui/StandardErrorReport.h"
#include "ui/TerminationSignals.h"

namespace orvalt {

namespace {

void ReportToOperator(const std::string& text) {
    ReportOnStandardError(text);
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kProgramName),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

// What the automation options ask for, once the window is up.
void Automate(COrvaltDlg& window, const AppOptions& options) {
    if (options.autoDiag) {
        window.OnDiagOpen();
    }
    if (options.autoPlan.empty() || !window.LoadTestPlanFrom(options.autoPlan)) {
        return;
    }
    if (options.autoStart) {
        window.OnStartStop();
    }
}

}  // namespace

COrvaltApp::COrvaltApp(std::filesystem::path settingsFile)
    : report(ReportToOperator), settingsFile_(std::move(settingsFile)) {}

SessionOptions COrvaltApp::SessionFor(const AppOptions& options) const {
    RegistryStore store(settingsFile_);
    RecordingOptions recording;
    recording.on = true;
    recording.database = ChooseResultsDatabase(std::nullopt, LoadResultsDatabaseSetting(store));
    return SessionOptions{
        StationOptions{options.simulate, false, options.unit, {}, options.fixture}, settingsFile_,
        std::move(recording)};
}

void COrvaltApp::ReportSettingsLoad(StationSession& session) const {
    const RegStatus status = session.Status().settingsLoad;
    if (!status.Ok()) {
        report(status.message + "\nThe default settings are in use.");
    }
}

bool COrvaltApp::SaveSettings(StationSession& session, bool operatorThere) const {
    const RegStatus status = session.SaveSettings();
    if (status.Ok()) {
        return true;
    }
    if (operatorThere) {
        report(status.message);
    } else {
        ReportOnStandardError(status.message);
    }
    return false;
}

int COrvaltApp::InitInstance(const AppOptions& options) {
    StationSession session(SessionFor(options));
    ReportSettingsLoad(session);
    const std::vector<DiagPort> extraPorts =
        options.simulate ? session.SimulatedDiagPorts() : std::vector<DiagPort>{};
    {
        COrvaltDlg window(session, extraPorts);
        const TerminationSignals endRequests([&window] { window.CloseWithoutAsking(); });
        // Logout: nobody is left to answer a question either.
        QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                         [&window](QSessionManager&) { window.CloseWithoutAsking(); });
        window.show();
        QTimer::singleShot(0, &window, [&window, &options] { Automate(window, options); });
        window.exec();
        SaveSettings(session, !window.ClosedWithoutAsking());
    }
    return 0;
}

}  // namespace orvalt
