#pragma once
// The application: loads the settings before the window exists, runs the main
// window until its close sequence has ended it, then saves the settings.

#include <filesystem>
#include <functional>
#include <string>

#include "config/RegistryStore.h"
#include "config/SettingsRecord.h"
#include "ui/AppOptions.h"

namespace orvalt {

class COrvaltApp {
  public:
    explicit COrvaltApp(std::filesystem::path settingsFile = DefaultRegistryPath());

    // Start-up, window, shutdown; the program's exit code.
    int InitInstance(const AppOptions& options);

    // The settings file's values, or the defaults; an unreadable file is
    // reported (the record then holds the defaults).
    void LoadSettings();
    // Writes the whole record; false, after reporting why, when the file could
    // not be written (the old file then stays whole).
    bool SaveSettings();

    SettingsRecord settings;
    // How a failure reaches the operator: standard error and a message box.
    std::function<void(const std::string&)> report;

  private:
    // The window's session keeps its own keys (limits, plot panel) there too.
    std::filesystem::path settingsFile_;
    RegistryStore store_;
};

}  // namespace orvalt
