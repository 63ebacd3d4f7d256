#include "results/TestDataExport.h"

#include "platform/UserAccount.h"

#include <cstdlib>

#include "platform/SafeFile.h"
#include "results/FileNameParts.h"
#include "results/TotalsLine.h"

namespace orvalt {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    // No home at all: the name alone, taken in the current folder.
    return AccountHome();
}

void AppendLine(std::string& text, std::string_view line) {
    text += line;
    text += kLineEnd;
}

void AppendLine(std::string& text, std::string_view label, std::string_view value) {
    text += label;
    AppendLine(text, value);
}

std::string TestDataText(const UnitDescription& unit, const std::vector<std::string>& logLines) {
    std::string text;
    AppendLine(text, "Manufacturer: ", unit.manufacturer);
    AppendLine(text, "Model: ", unit.model);
    AppendLine(text, "Type: ", unit.type);
    AppendLine(text, "Power: ", unit.power);
    AppendLine(text, "Size: ", unit.fixtureSize);
    AppendLine(text, "Driver Manufacturer: ", unit.driverManufacturer);
    AppendLine(text, "Driver Model: ", unit.driverModel);
    for (const std::string& line : logLines) {
        AppendLine(text, line);
    }
    return text;
}

std::string SumText(const std::vector<std::string>& logLines) {
    std::string text = logLines.empty() ? std::string() : logLines.back();
    text += kLineEnd;
    return text;
}

std::string TotalsText(std::string_view manufacturer, const std::vector<SummaryFields>& tests) {
    std::string text;
    for (const SummaryFields& test : tests) {
        AppendLine(text, FormatTotalsLine(manufacturer, test));
    }
    return text;
}

}  // namespace

std::string DefaultTestDataName(std::string_view manufacturer, std::string_view model) {
    return SafeFileNamePart(manufacturer) + "-" + SafeFileNamePart(model) + ".csv";
}

std::filesystem::path DefaultTestDataPath(const std::filesystem::path& dataDirPath,
                                          std::string_view manufacturer, std::string_view model) {
    const std::filesystem::path folder = dataDirPath.empty() ? HomeFolder() : dataDirPath;
    return folder / DefaultTestDataName(manufacturer, model);
}

std::filesystem::path SumFilePath(const std::filesystem::path& chosen) {
    return chosen.parent_path() / InsertBeforeExtension(chosen.filename().string(), "_Sum");
}

std::filesystem::path TotalsFilePath(const std::filesystem::path& chosen) {
    return chosen.parent_path() / "totalsums.csv";
}

// What can be known before writing is known for all three files, so that a
// folder where the "_Sum" file belongs leaves no test data file and no totals
// line behind. The first that can't be written is named, as a failed write
// would name it.
SaveResult CheckDestinations(const std::filesystem::path& chosen) {
    SaveResult result;
    for (const std::filesystem::path& file :
         {chosen, SumFilePath(chosen), TotalsFilePath(chosen)}) {
        if (const Result<void> checked = CheckOutputFile(file); !checked) {
            result.errors.push_back(checked.Error());
            break;
        }
    }
    return result;
}

SaveResult SaveTestData(const std::filesystem::path& chosen, const UnitDescription& current,
                        const std::vector<std::string>& logLines, SummaryLines& summary,
                        const std::atomic<bool>* stop) {
    SaveResult result = CheckDestinations(chosen);
    if (!result.Ok()) {
        return result;
    }
    const Result<void> data = ReplaceFileAtomically(chosen, TestDataText(current, logLines));
    if (!data) {
        result.errors.push_back(data.Error());
        return result;
    }
    const Result<void> sum = ReplaceFileAtomically(SumFilePath(chosen), SumText(logLines));
    if (!sum) {
        result.errors.push_back(sum.Error());
    }
    const std::vector<SummaryFields> tests = summary.Tests();
    const Result<void> totals = AppendToSharedFile(
        TotalsFilePath(chosen), TotalsText(current.manufacturer, tests), kSharedFileLockWait, stop);
    if (!totals) {
        result.errors.push_back(totals.Error());
        return result;
    }
    summary.DropFirst(tests.size());
    result.totalsLinesWritten = tests.size();
    return result;
}

}  // namespace orvalt
