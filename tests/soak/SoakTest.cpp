// The example plan run again and again in one process, the simulated driver
// sending a diagnostic line every 10 ms: whatever a run takes it must give back,
// so nothing the process holds may grow from run to run.

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "support/ProcessFigures.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// A sanitizer keeps freed memory aside and runs many times slower: fewer runs,
// and the resident size tells nothing.
constexpr bool kSanitized = true;
constexpr int kRuns = 10;
#else
constexpr bool kSanitized = false;
constexpr int kRuns = 100;
#endif
constexpr std::size_t kMegabyte = 1024 * 1024;

long long Kib(std::size_t bytes) {
    return static_cast<long long>(bytes / 1024);
}

TEST(Soak, ManyRunsUnderADiagnosticFloodLeaveTheProcessAsTheFirstRunLeftIt) {
    TempFolder folder;
    ::setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);  // the default settings
    ::setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
    WriteBytes(folder / "flood.json", R"({"diagPeriodMs": 10})");
    // The flood's handling is measured here, not the records' growth.
    const auto parsed = ParseCliOptions({"--simulate", "--fast", "--extra-log", "--no-record",
                                         "--unit", (folder / "flood.json").string(),
                                         ORVALT_SOURCE_DIR "/examples/TestCfg.csv"});
    ASSERT_TRUE(parsed.options) << parsed.error;

    std::ostream discard(nullptr);
    std::size_t diagLines = 0;
    const auto runOnce = [&] {
        std::ostringstream err;
        StopRequest stop;
        HeadlessStats stats;
        ASSERT_EQ(RunHeadless(*parsed.options, discard, err, stop, &stats), kExitRanToEnd)
            << err.str();
        ASSERT_EQ(stats.summaryLines, 5u);
        ASSERT_GT(stats.diagLines, 10000u);  // a line every 10 ms while the unit is on
        diagLines += stats.diagLines;
    };

    const ProcessFigures before = MeasureProcess();
    runOnce();
    const ProcessFigures afterFirst = MeasureProcess();
    for (int run = 1; run < kRuns && !HasFatalFailure(); ++run) {
        runOnce();
    }
    const ProcessFigures atEnd = MeasureProcess();

    std::cout << "[ soak ] " << kRuns << " runs, " << diagLines << " diagnostic lines\n"
              << "[ soak ] heap in use after the first run " << Kib(afterFirst.heapInUseBytes)
              << " KiB, at the end " << Kib(atEnd.heapInUseBytes) << " KiB\n"
              << "[ soak ] resident after the first run " << Kib(afterFirst.residentBytes)
              << " KiB, at the end " << Kib(atEnd.residentBytes) << " KiB\n"
              << "[ soak ] threads " << before.threads << " -> " << atEnd.threads
              << ", descriptors " << before.openDescriptors << " -> " << atEnd.openDescriptors
              << "\n";
    EXPECT_LT(atEnd.heapInUseBytes, afterFirst.heapInUseBytes + kMegabyte);
    if (!kSanitized) {
        EXPECT_LT(atEnd.residentBytes, afterFirst.residentBytes + kMegabyte);
    }
    // ThreadSanitizer starts a thread of its own beside the program's first one.
    const ProcessFigures& baseline = kSanitized ? afterFirst : before;
    EXPECT_EQ(atEnd.threads, baseline.threads);
    EXPECT_EQ(atEnd.openDescriptors, baseline.openDescriptors);
}

}  // namespace
}  // namespace orvalt::test
