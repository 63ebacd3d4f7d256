#pragma once
// Run recording as one more consumer of a session's events: runs, tests,
// readings, switches and diagnostic lines become RunRecorder calls. What the
// worker must not read (the plan text, the settings, the unit description) is
// taken on the handler thread at Start and handed over with Prepare.

#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "domain/SessionObserver.h"
#include "recording/RunRecorder.h"

namespace orvalt {

// One plan row as its test's record keeps it.
struct RecordedRow {
    std::array<std::string, 9> texts;
    std::string mode;  // "cycle" or "onoff"
};

// What a run's record begins with.
struct RunSnapshot {
    RunStart run;
    std::vector<RecordedRow> rows;  // by the test's row
};

class RunRecording final : public SessionObserver {
  public:
    explicit RunRecording(RunRecorder& recorder) : recorder_(recorder) {}

    // Handler thread: the next run's record begins with `snapshot`.
    void Prepare(RunSnapshot snapshot);
    // Where a run's end takes the unit's verdict from (none when the run had no
    // limits). Asked on the worker's thread as the run ends, so whoever judges
    // must have been told of that end first. Set before the first run.
    void TakeUnitVerdictFrom(std::function<std::optional<VerdictKind>()> unitVerdict);

    void RunStarted(int runNumber) override;
    void RunEnded(int runNumber, RunEnd how) override;
    void TestStarted(const TestStart& test) override;
    void TestEnded(const TestEnd& test) override;
    void VoltageRead(const VoltageReading& reading) override;
    void PowerSwitched(const PowerSwitch& change) override;
    void MarkerToggled(const MarkerToggle& change) override;
    void DiagLineDecoded(const DiagLine& line, const EventTime& time) override;

  private:
    const RecordedRow* Row(int row) const;
    void EndOpenTest(RecordEnd how);

    RunRecorder& recorder_;
    // Prepare comes from another thread than the events.
    std::mutex mutex_;
    std::optional<RunSnapshot> prepared_;
    std::function<std::optional<VerdictKind>()> unitVerdict_;
    // The events' own state: they come one at a time (see SessionObserver.h).
    RunSnapshot current_;
    bool testOpen_ = false;
    std::string lastFailure_;
};

// How a session's run ending is kept in the record.
RecordEnd RecordEndOf(RunEnd how);

}  // namespace orvalt
