#include "execution/CloseConfirmation.h"

namespace orvalt {

namespace {

Question StopRunQuestion() {
    return Question{kStopRunAndClose, {Answer::Yes, Answer::No}, Answer::No, Answer::No};
}

Question SaveQuestion() {
    return Question{kSaveBeforeClose,
                    {Answer::Save, Answer::Discard, Answer::Cancel},
                    Answer::Save,
                    Answer::Cancel};
}

// Save Test Data empties the lines only once they reached the totals file.
bool SavedOrDiscarded(const SummaryLines& unsaved, const CloseConfirmationHooks& hooks) {
    switch (hooks.ask(SaveQuestion())) {
        case Answer::Save:
            hooks.save();
            return unsaved.Count() == 0;
        case Answer::Discard:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ConfirmClose(RunControl& runs, const SummaryLines& unsaved,
                  const CloseConfirmationHooks& hooks) {
    if (runs.Running()) {
        if (hooks.ask(StopRunQuestion()) != Answer::Yes) {
            return false;
        }
        runs.StopRun();  // as Stop does: the run's completed tests stay
    }
    return unsaved.Count() == 0 || SavedOrDiscarded(unsaved, hooks);
}

}  // namespace orvalt
