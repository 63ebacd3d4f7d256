// The diagnostic table between the link thread, which appends, and the test
// worker, which reads: every snapshot the worker takes is one the table really
// held at some moment, never a mix of two.

#include "diaglink/DiagTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "domain/Format.h"

namespace orvalt {
namespace {

// Record n carries n in every field, so a record half overwritten shows.
DiagRecord Numbered(int n) {
    return DiagRecord{static_cast<std::uint32_t>(n), n, -n, 3 * n};
}

bool IsNumbered(const DiagRecord& record, int n) {
    const DiagRecord expected = Numbered(n);
    return record.arrivalTime == expected.arrivalTime && record.field1 == expected.field1 &&
           record.field2 == expected.field2 && record.field3 == expected.field3;
}

// Appended 1, 2, 3...: a whole snapshot holds the newest record where its count
// says, every older one below it without a gap, and empty slots above it.
std::string WhyNotWhole(const DiagTable::Snapshot& snapshot) {
    const int count = snapshot.count;
    if (count < 0 || count > DiagTable::kCapacity) {
        return Format("count %d", count);
    }
    const int newest = count == 0 ? 0 : snapshot.records[count - 1].field1;
    const int first = count < DiagTable::kCapacity ? 1 : newest - DiagTable::kCapacity + 1;
    for (int slot = 0; slot < DiagTable::kCapacity; ++slot) {
        const DiagRecord& record = snapshot.records[slot];
        const bool whole = slot < count ? IsNumbered(record, first + slot) : IsNumbered(record, 0);
        if (!whole) {
            return Format("count %d, newest %d, slot %d holds %d", count, newest, slot,
                          record.field1);
        }
    }
    return {};
}

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
// ThreadSanitizer names an unguarded read at its first meeting with an append,
// and a sanitizer runs many times slower: fewer snapshots do.
constexpr int kSnapshots = 20000;
#else
// Enough for the two threads to meet mid-copy many times over.
constexpr int kSnapshots = 400000;
#endif

TEST(DiagTable, SnapshotsTakenWhileTheLinkAppendsAreWholeAndNeverGoBack) {
    DiagTable table;
    std::atomic<bool> stop{false};
    std::atomic<int> appended{0};
    std::thread link([&] {
        for (int n = 1; !stop; ++n) {
            table.Append(Numbered(n));
            appended = n;
        }
    });
    std::string torn;
    int newestSeen = 0;
    for (int i = 0; i < kSnapshots && torn.empty(); ++i) {
        const DiagTable::Snapshot snapshot = table.Read();
        torn = WhyNotWhole(snapshot);
        const int newest = snapshot.count == 0 ? 0 : snapshot.records[snapshot.count - 1].field1;
        if (torn.empty() && newest < newestSeen) {
            torn = Format("newest %d after %d", newest, newestSeen);
        }
        newestSeen = newest;
    }
    stop = true;
    link.join();
    EXPECT_EQ(torn, "");
    EXPECT_GT(newestSeen, 0) << "the snapshots were taken while the link appended";
    EXPECT_EQ(WhyNotWhole(table.Read()), "");
    EXPECT_EQ(table.Read().records[DiagTable::kCapacity - 1].field1, appended.load());
}

}  // namespace
}  // namespace orvalt
