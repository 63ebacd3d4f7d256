#pragma once
// Before the window closes on Esc, "Close" or the title bar's close: a run in
// progress, or completed tests not saved yet, are not lost on a stray key
// without asking. With nothing to lose the window closes at once, as ever.
// SIGTERM and logout cannot ask and do not come here.

#include <functional>
#include <string>
#include <vector>

#include "execution/RunControl.h"
#include "results/SummaryLines.h"

namespace orvalt {

enum class Answer { Yes, No, Save, Discard, Cancel };

struct Question {
    std::string text;
    std::vector<Answer> buttons;
    Answer defaultAnswer = Answer::No;  // what Enter picks
    Answer escapeAnswer = Answer::No;   // what Esc or the box's own close gives
};

inline constexpr const char* kStopRunAndClose = "A test run is in progress. Stop it and close?";
inline constexpr const char* kSaveBeforeClose =
    "The completed tests of the last run have not been saved. Save them before closing?";

struct CloseConfirmationHooks {
    std::function<Answer(const Question&)> ask;
    // Save Test Data, as its button does (it may be cancelled or fail).
    std::function<void()> save;
};

// True when the window may close now. A run in progress is stopped once the
// operator agrees; completed tests not saved are then saved or discarded as
// the operator chooses, and a save that did not happen keeps the window open.
bool ConfirmClose(RunControl& runs, const SummaryLines& unsaved,
                  const CloseConfirmationHooks& hooks);

}  // namespace orvalt
