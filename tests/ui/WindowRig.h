#pragma once
// The real main window on the simulated station in real time, with its file
// dialog and message boxes replaced: file answers are queued in advance and
// every message shown is collected.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/SettingsRecord.h"
#include "config/SettingsTable.h"
#include "station/StationSession.h"
#include "ui/COrvaltDlg.h"
#include "ui/ControlLookup.h"

namespace orvalt::testing {

// Far beyond what any step needs, so that a loaded machine fails nothing.
constexpr int kPatienceMs = 20000;

// The tests' plans hold on/off tests, whose waits come from the plan alone:
// the quick one runs for about half a second, the long one waits 30 s first.
inline const std::vector<std::string> kQuickPlan{"h", "h", "Quick,0,0.1,0.1,1.0,5000,2"};
inline const std::vector<std::string> kLongPlan{"h", "h", "Long,0,30,1,1.0,5000,1"};
inline const std::vector<std::string> kEmptyPlan{"h", "h"};

// Runs recorded into results.sqlite of `folder`, spooled beside it and
// sealed with a key made there.
inline RecordingOptions RecordInto(const QTemporaryDir& folder) {
    RecordingOptions recording;
    recording.on = true;
    recording.database = folder.filePath(QStringLiteral("results.sqlite")).toStdString();
    recording.spool = folder.filePath(QStringLiteral("spool.sqlite")).toStdString();
    recording.stationKey =
        StationKeyPlace{folder.filePath(QStringLiteral("station-key.pem")).toStdString(), true};
    return recording;
}

class WindowRig {
  public:
    // simulate false: the station looks for a real U3 (there is none here).
    // `fixture`: the fixture the window serves (empty: none).
    explicit WindowRig(SettingsRecord initial = {}, UnitProfile unit = {},
                       std::vector<DiagPort> extraPorts = {}, bool simulate = true,
                       std::string fixture = {}, RecordingOptions recording = {})
        : WindowRig(Built{},
                    SessionOptions{
                        StationOptions{simulate, false, std::move(unit), {}, std::move(fixture)},
                        {},
                        std::move(recording)},
                    std::move(initial), std::move(extraPorts)) {}
    // The session's settings come from its settings file.
    explicit WindowRig(const SessionOptions& options)
        : WindowRig(Built{}, options, std::nullopt, {}) {}

    std::filesystem::path Folder() const { return dir.path().toStdString(); }

    std::filesystem::path WritePlan(const std::string& name, const std::vector<std::string>& lines);
    // Presses "Open" and picks a plan file with these lines.
    void LoadPlan(const std::vector<std::string>& lines);

    template <class Widget = QWidget>
    Widget* Control(int id) const {
        return FindControl<Widget>(window.get(), id);
    }
    QAbstractButton* Button(int id) const { return Control<QAbstractButton>(id); }
    void Press(int id) const { Button(id)->click(); }

    // What the views show.
    QString Cell(int row, int column) const;
    QStringList Rows(int listId) const;
    int CurrentRow(int listId) const;

    bool RunOver() { return Button(IDC_OPEN)->isEnabled() && !session.Status().runGoing; }
    bool RunGoing() { return session.Status().runGoing; }

  private:
    // Initial settings, when given, are the settings file the session starts
    // from, in the rig's own folder with the results.
    struct Built {};
    WindowRig(Built, const SessionOptions& options, std::optional<SettingsRecord> initial,
              std::vector<DiagPort> extraPorts)
        : session(Seeded(options, std::move(initial))), settings(session.Settings()) {
        window = std::make_unique<COrvaltDlg>(session, std::move(extraPorts));
        window->messageBox = [this](const std::string& text) { messages.push_back(text); };
        boxQuestion = window->askQuestion;
        window->askQuestion = [this](const Question& question) {
            questions.push_back(question);
            if (replies.empty()) {
                return question.escapeAnswer;
            }
            const Answer reply = replies.front();
            replies.pop_front();
            return reply;
        };
        window->promptForFile = [this](FileRequest& request) {
            requests.push_back(request);
            if (answers.empty()) {
                return 0;
            }
            request.path = answers.front();
            answers.pop_front();
            return 1;
        };
        window->show();
    }

    SessionOptions Seeded(SessionOptions options, std::optional<SettingsRecord> initial) const {
        if (initial) {
            initial->DataDirPath = Folder().string();
            options.settingsFile = Folder() / "Orvalt.reg";
            RegistryStore store(options.settingsFile);
            static_cast<void>(SaveStationSettings(*initial, store, options.station.fixture));
        }
        return options;
    }

  public:
    QTemporaryDir dir;
    StationSession session;
    const SettingsRecord& settings;
    std::unique_ptr<COrvaltDlg> window;
    std::vector<std::string> messages;
    // The close's questions, answered from `replies` (Esc when none is left).
    std::vector<Question> questions;
    std::deque<Answer> replies;
    // The window's own question, in a real message box.
    std::function<Answer(const Question&)> boxQuestion;
    std::deque<std::string> answers;
    std::vector<FileRequest> requests;
};

}  // namespace orvalt::testing
