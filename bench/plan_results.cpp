// Figures for the plan file reader and the result files: how long a large
// plan takes to read and what its list rows cost in memory, and how long a
// save of a long log takes.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/TestPlanFile.h"
#include "results/SummaryLine.h"
#include "results/TestDataExport.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string PlanOfLines(int lines) {
    std::string contents = "Label,T1,T2,T3,T4,TTO,Count\r\nheader 2\r\n";
    for (int i = 0; i < lines; ++i) {
        contents += "Test " + std::to_string(i) + ",1.5,2.25,0.25,3.125,7,3\r\n";
    }
    return contents;
}

void BenchPlan(int lines) {
    const std::string contents = PlanOfLines(lines);
    const auto start = Clock::now();
    const orvalt::Result<orvalt::LoadedPlan> result = orvalt::ParseTestPlan(contents);
    const double ms = MsSince(start);
    std::size_t rowBytes = result->rows.size() * sizeof(orvalt::TestRowTexts);
    for (const auto& row : result->rows) {
        for (const auto& text : row) {
            rowBytes += text.capacity() > 15 ? text.capacity() + 1 : 0;
        }
    }
    std::printf("plan of %8d lines (%6.1f MB): %8.1f ms, %6.0f ns/line, rows %6.1f MB\n", lines,
                contents.size() / 1e6, ms, ms * 1e6 / lines, rowBytes / 1e6);
}

void BenchSave(int logLines, int summaryLines) {
    const auto folder = std::filesystem::temp_directory_path() / "orvalt-bench-save";
    std::filesystem::create_directories(folder);
    const orvalt::UnitDescription unit{"Acme", "X100", "Linear", "40W", "4ft", "DrvCo", "D-200"};
    orvalt::TestMeasurements m;
    m.V1 = {2.5, 2.5, 2.5, 2.5};
    const orvalt::SummaryFields test = orvalt::SummarizeTest(unit, 2, m, orvalt::TodayLocal());
    std::vector<std::string> log(static_cast<std::size_t>(logLines), test.Text());
    orvalt::SummaryLines summary;
    for (int i = 0; i < summaryLines; ++i) {
        summary.Append(test);
    }
    const auto start = Clock::now();
    const orvalt::SaveResult result = orvalt::SaveTestData(folder / "run.csv", unit, log, summary);
    std::printf("save of %7d log lines, %5d summary lines: %8.1f ms (%s)\n", logLines, summaryLines,
                MsSince(start), result.Ok() ? "ok" : result.errors.front().c_str());
    std::filesystem::remove_all(folder);
}

}  // namespace

int main() {
    for (const int lines : {1000, 100000, 1000000}) {
        BenchPlan(lines);
    }
    BenchSave(1000, 100);
    BenchSave(100000, 1000);
}
