#pragma once
// The application: starts the station session (which loads the settings), runs
// the main window until its close sequence has ended it, then has the session
// save the settings. What fails reaches the operator.

#include <filesystem>
#include <functional>
#include <string>

#include "config/RegistryStore.h"
#include "station/StationSession.h"
#include "ui/AppOptions.h"

namespace orvalt {

class COrvaltApp {
  public:
    explicit COrvaltApp(std::filesystem::path settingsFile = DefaultRegistryPath());

    // Start-up, window, shutdown; the program's exit code.
    int InitInstance(const AppOptions& options);

    // The session this application runs: the station the options ask for,
    // its settings from the application's settings file, every run recorded
    // into the results database that file names (else the local file).
    SessionOptions SessionFor(const AppOptions& options) const;
    // Reports a settings file that could not be read (the defaults are then
    // in use).
    void ReportSettingsLoad(StationSession& session) const;
    // Writes the session's whole record; false, after reporting why, when the
    // file could not be written (the old file then stays whole). Another
    // program's lock on the file is waited for a bounded time. With no
    // operator there (the window closed without asking) the report goes to
    // standard error alone.
    bool SaveSettings(StationSession& session, bool operatorThere = true) const;

    // How a failure reaches the operator: standard error and a message box.
    std::function<void(const std::string&)> report;

  private:
    std::filesystem::path settingsFile_;
};

}  // namespace orvalt
