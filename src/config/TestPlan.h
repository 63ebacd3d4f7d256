#pragma once
// The loaded test plan: one entry per test line of the plan file, in file order.
// Held as a vector (not a linked list), so that a plan of a million lines neither
// costs a million allocations nor a recursive free; the worker walks it in order.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvalt {

struct TestPlanEntry {
    std::int32_t P1 = 0;  // file value x 1000, truncated toward zero
    std::int32_t P2 = 0;
    std::int32_t P3 = 0;
    std::int32_t P4 = 0;
    std::int32_t P5 = 0;     // whole number, not scaled
    std::int32_t P6 = 0;     // file value x 1000, truncated toward zero
    std::int32_t index = 0;  // 0-based row in the test list
};

// The nine texts of one row of the test list: "Test", "P1".."P6", "Wait", "Status".
using TestRowTexts = std::array<std::string, 9>;

struct TestPlan {
    std::vector<TestPlanEntry> entries;
};

}  // namespace orvalt
