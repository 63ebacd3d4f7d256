#include "ui/COrvaltApp.h"

#include <QMessageBox>
#include <QTimer>
#include <iostream>

#include "config/SettingsTable.h"
#include "records/ResultsSetting.h"
#include "station/StationSession.h"
#include "ui/AppIdentity.h"
#include "ui/COrvaltDlg.h"
#include "ui/TerminationSignals.h"

namespace orvalt {

namespace {

void ReportToOperator(const std::string& text) {
    std::cerr << "orvalt: " << text << '\n';
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kProgramName),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

std::vector<DiagPort> SimulatedPorts(Station& station) {
    std::vector<DiagPort> ports;
    if (auto port = station.WriteSimulatedDiagLinesToPort()) {
        ports.push_back(*port);
    }
    return ports;
}

// What the automation variables ask for, once the window is up.
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
    : report(ReportToOperator), store_(std::move(settingsFile)) {}

void COrvaltApp::LoadSettings() {
    const RegStatus status = LoadStationSettings(settings, store_);
    if (!status.Ok()) {
        report(status.message + "\nThe default settings are in use.");
    }
}

bool COrvaltApp::SaveSettings() {
    const RegStatus status = SaveStationSettings(settings, store_);
    if (!status.Ok()) {
        report(status.message);
    }
    return status.Ok();
}

int COrvaltApp::InitInstance(const AppOptions& options) {
    LoadSettings();
    RecordingOptions recording;
    recording.database = ChooseResultsDatabase(std::nullopt, LoadResultsDatabaseSetting(store_));
    StationSession session(SessionOptions{
        StationOptions{options.simulate, false, options.unit}, {}, std::move(recording)});
    session.Settings() = settings;
    const std::vector<DiagPort> extraPorts =
        options.simulate ? SimulatedPorts(session.GetStation()) : std::vector<DiagPort>{};
    {
        COrvaltDlg window(session, extraPorts);
        const TerminationSignals endRequests([&window] { window.reject(); });
        window.show();
        QTimer::singleShot(0, &window, [&window, &options] { Automate(window, options); });
        window.exec();
        settings = session.Settings();
        SaveSettings();
    }
    return 0;
}

}  // namespace orvalt
