#pragma once
// The one way the operator picks a file to read or write: the modal open or
// save dialog, preset with a file name, folder, title, default extension and
// filter, handing back the full path confirmed.

#include <QString>
#include <QStringList>
#include <filesystem>
#include <string>
#include <string_view>

#include "config/SettingsRecord.h"

class QWidget;

namespace orvalt {

enum class FileChoice { Open, Save };

// Initial-folder kinds for a request without a path.
constexpr int kDataFolder = 0;
constexpr int kProgramFolder = 1;
constexpr int kLogFolder = 2;
constexpr int kPlatformFolder = -1;

struct FileRequest {
    FileChoice choice = FileChoice::Open;
    // In: the preset (may be empty). Out: the chosen full path, when confirmed.
    std::string path;
    std::string title;
    std::string defaultExtension;  // without the dot: "csv"
    // Pairs of description and pattern, "|"-separated: "Text files (*.txt)|*.txt".
    std::string filter;
    int folderKind = kPlatformFolder;
};

// Where the dialog starts: the preset's folder and name, or for an empty
// preset the folder its kind names (empty: the platform chooses).
struct FileDialogStart {
    std::filesystem::path folder;
    std::string fileName;
};

FileDialogStart StartOfFileDialog(const FileRequest& request, const SettingsRecord& settings);

// A "description|pattern|..." filter as Qt's dialog takes it, followed by the
// all-files choice: {"Comma separated files (*.csv)", "All Files (*)"}.
QStringList QtNameFilters(std::string_view filter);

// Shows the dialog owned by `owner`: 1 when the operator confirmed a file (the
// request's path then holds it), 0 when the dialog was cancelled or closed.
// Open wants an existing file; save asks before an existing file is replaced.
// Either adds the default extension to a name typed without one.
int PromptForFile(QWidget* owner, const SettingsRecord& settings, FileRequest& request);

}  // namespace orvalt
