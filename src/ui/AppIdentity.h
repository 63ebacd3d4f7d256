#pragma once
// What the program shows of itself: its name, version line and icon, and the
// process-wide set-up every Qt entry point (the program, its tests and its
// benchmark) makes right after the application object exists.

#include <QIcon>
#include <QString>
#include <string>

#include "station/ProgramVersion.h"

namespace orvalt {

inline constexpr const char* kProgramName = "Orvalt";
inline constexpr const char* kAboutMenuText = "&About Orvalt...";

QIcon MainIcon();

// The main window's title: the program's name, and " - NAME" for a fixture, so
// the operator of several fixtures sees which window serves which.
QString MainWindowTitle(const std::string& fixture);

// Names the application and gives it its icon. Puts numbers back to the C
// locale: the application object takes the user's locale for everything, and
// the station's "%.2f" texts and files must keep a decimal point whatever the
// desktop's language.
void PrepareApplication();

}  // namespace orvalt
