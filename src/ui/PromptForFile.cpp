#include "ui/PromptForFile.h"

#include <QFileDialog>
#include <vector>

namespace orvalt {

namespace {

std::vector<std::string> SplitAtBars(std::string_view text) {
    std::vector<std::string> parts;
    while (!text.empty()) {
        const auto bar = text.find('|');
        parts.emplace_back(text.substr(0, bar));
        text = bar == std::string_view::npos ? std::string_view{} : text.substr(bar + 1);
    }
    return parts;
}

// "*.csv;*.txt" -> "*.csv *.txt"; "*.*" is every file here, dotted or not.
QString QtPatterns(const std::string& patterns) {
    QString qt = QString::fromStdString(patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
    return qt == QStringLiteral("*.*") ? QStringLiteral("*") : qt;
}

// Qt reads the patterns from the filter's last parentheses: a description that
// already shows them is kept as it is.
QString QtNameFilter(const std::string& description, const std::string& patterns) {
    const QString qtPatterns = QtPatterns(patterns);
    const QString shown = QString::fromStdString(description).trimmed();
    const QString suffix = QStringLiteral("(%1)").arg(qtPatterns);
    return shown.endsWith(suffix) ? shown : QStringLiteral("%1 %2").arg(shown, suffix);
}

std::filesystem::path FolderOfKind(int kind, const SettingsRecord& settings) {
    const std::string* folder = kind == kDataFolder      ? &settings.DataDirPath
                                : kind == kProgramFolder ? &settings.ProgramDirPath
                                : kind == kLogFolder     ? &settings.LogDirPath
                                                         : nullptr;
    if (folder == nullptr) {
        return {};
    }
    if (!folder->empty()) {
        return *folder;
    }
    // An empty folder setting is the user's home folder, never the root.
    return QDir::homePath().toStdString();
}

}  // namespace

FileDialogStart StartOfFileDialog(const FileRequest& request, const SettingsRecord& settings) {
    if (request.path.empty()) {
        return {FolderOfKind(request.folderKind, settings), {}};
    }
    const std::filesystem::path preset(request.path);
    return {preset.parent_path(), preset.filename().string()};
}

QStringList QtNameFilters(std::string_view filter) {
    const std::vector<std::string> parts = SplitAtBars(filter);
    QStringList filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].empty()) {
            filters << QtNameFilter(parts[i], parts[i + 1]);
        }
    }
    const QString allFiles = QStringLiteral("All Files (*)");
    if (!filters.contains(allFiles)) {
        filters << allFiles;
    }
    return filters;
}

int PromptForFile(QWidget* owner, const SettingsRecord& settings, FileRequest& request) {
    const FileDialogStart start = StartOfFileDialog(request, settings);
    QFileDialog dialog(owner, QString::fromStdString(request.title));
    const bool open = request.choice == FileChoice::Open;
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    const QStringList filters = QtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    if (!start.folder.empty()) {
        dialog.setDirectory(QString::fromStdString(start.folder.string()));
    }
    if (!start.fileName.empty()) {
        dialog.selectFile(QString::fromStdString(start.fileName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return 0;
    }
    request.path = dialog.selectedFiles().front().toStdString();
    return 1;
}

}  // namespace orvalt
