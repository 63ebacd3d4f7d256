#include "config/TestPlanFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "config/NumberText.h"
#include "domain/Format.h"
#include "domain/FormatFixed.h"
#include "domain/PrintableText.h"
#include "platform/SafeFile.h"

namespace orvalt {

namespace {

constexpr int kHeaderLines = 2;
// A plan is a few hundred lines; this is far beyond any real one, and still
// small enough that a wrong file (a device, a log) is refused at once.
constexpr std::size_t kMaxPlanBytes = std::size_t{256} * 1024 * 1024;
constexpr int kFirstOptionalColumn = 6;

constexpr std::size_t kPlacesNamed = 10;

// The numbers of one test line, columns 2 to 7 of the file.
struct LineNumbers {
    std::array<double, 6> values{};
    std::array<bool, 6> textOnly{};  // the field holds text but no number
    bool hasOptional = false;        // some text follows the comma that ends column 5
};

// Fields that hold text but no number: the first few places and how many in all.
struct TextFields {
    std::vector<std::pair<std::int64_t, std::size_t>> places;
    std::size_t count = 0;
};

// Takes the next line off `rest`. A line ends at LF or CR LF; the end is not
// part of the line, and a last line without an end still counts.
std::string_view TakeLine(std::string_view& rest) {
    const std::size_t newline = rest.find('\n');
    std::string_view line = rest.substr(0, newline);
    rest.remove_prefix(newline == std::string_view::npos ? rest.size() : newline + 1);
    if (newline != std::string_view::npos && !line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

// Takes the next field off `rest`: the text up to the next comma or the end.
std::string_view TakeField(std::string_view& rest) {
    const std::size_t comma = rest.find(',');
    const std::string_view field = rest.substr(0, comma);
    rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
    return field;
}

// A field read as 0 because it holds words, quote marks or the like. An empty
// or blank field is simply 0 and not worth a word.
bool HoldsTextButNoNumber(std::string_view field, double value) {
    return value == 0.0 && field.find_first_not_of(" \t\r") != std::string_view::npos &&
           !HasNumericPrefix(field);
}

void ReadNumber(std::string_view& line, std::size_t i, LineNumbers& numbers) {
    const std::string_view field = TakeField(line);
    numbers.values[i] = AtofText(field);
    numbers.textOnly[i] = HoldsTextButNoNumber(field, numbers.values[i]);
}

LineNumbers ReadLineNumbers(std::string_view line) {
    LineNumbers numbers;
    TakeField(line);  // the label
    for (std::size_t i = 0; i < 4; ++i) {
        ReadNumber(line, i, numbers);
    }
    numbers.hasOptional = !line.empty();
    if (numbers.hasOptional) {
        ReadNumber(line, 4, numbers);
        ReadNumber(line, 5, numbers);
    }
    return numbers;
}

void NoteTextFields(const LineNumbers& numbers, std::int64_t fileLine, TextFields& found) {
    for (std::size_t i = 0; i < numbers.textOnly.size(); ++i) {
        if (!numbers.textOnly[i]) {
            continue;
        }
        if (found.places.size() < kPlacesNamed) {
            found.places.emplace_back(fileLine, i + 2);
        }
        ++found.count;
    }
}

std::string TextFieldsWarning(const TextFields& found) {
    if (found.count == 0) {
        return {};
    }
    std::string text = "These fields hold no number and are read as 0:";
    for (std::size_t i = 0; i < found.places.size(); ++i) {
        text += (i == 0 ? " line " : ", line ") + std::to_string(found.places[i].first) +
                " column " + std::to_string(found.places[i].second);
    }
    if (found.count > found.places.size()) {
        text += " and " + std::to_string(found.count - found.places.size()) + " more";
    }
    return text + ".";
}

// A picture, a program or a word processor's file is no plan, though its
// bytes may read as one: no control character but tab, CR and LF belongs in
// a plan. Names the first line holding one.
std::optional<std::string> ControlCharacterError(std::string_view contents) {
    const auto bad = std::find_if(contents.begin(), contents.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && c != '\t' && c != '\r' && c != '\n';
    });
    if (bad == contents.end()) {
        return std::nullopt;
    }
    const long long fileLine = std::count(contents.begin(), bad, '\n') + 1;
    return Format("Line %lld: control character 0x%02X; this is not a test plan", fileLine,
                  static_cast<unsigned>(static_cast<unsigned char>(*bad)));
}

// Whole part of `value` when it fits a 32-bit signed field; NaN and infinities don't.
std::optional<std::int32_t> TruncateToInt32(double value) {
    const double whole = std::trunc(value);
    if (!(whole >= std::numeric_limits<std::int32_t>::min() &&
          whole <= std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(whole);
}

std::string RangeError(std::int64_t fileLine, std::size_t column) {
    return "Line " + std::to_string(fileLine) + ": value out of range in column " +
           std::to_string(column);
}

// Stores the numbers in `entry`, or names the first file column that doesn't fit.
std::optional<std::size_t> StoreNumbers(const LineNumbers& numbers, TestPlanEntry& entry) {
    std::array<std::int32_t*, 6> fields{&entry.P1, &entry.P2, &entry.P3,
                                        &entry.P4, &entry.P5, &entry.P6};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t column = i + 2;
        const double scale = column == kFirstOptionalColumn ? 1.0 : 1000.0;
        const std::optional<std::int32_t> stored = TruncateToInt32(numbers.values[i] * scale);
        if (!stored) {
            return column;
        }
        *fields[i] = *stored;
    }
    return std::nullopt;
}

std::string Thousandths(std::int32_t value) {
    return FormatFixed(value / 1000.0, 2);
}

// Columns 5 and 6 show only when the number read from column 6, before its
// truncation, is not 0: 0.5 shows P5 as "0".
TestRowTexts MakeRowTexts(std::int64_t testLine, const TestPlanEntry& entry, double column6) {
    TestRowTexts row;
    row[0] = std::to_string(testLine);
    row[1] = Thousandths(entry.P1);
    row[2] = Thousandths(entry.P2);
    row[3] = Thousandths(entry.P3);
    row[4] = Thousandths(entry.P4);
    if (column6 != 0.0) {
        row[5] = std::to_string(entry.P5);
        row[6] = Thousandths(entry.P6);
    }
    return row;
}

// Adds the test of one non-empty line; the error when a value does not fit.
std::optional<std::string> AddTest(std::string_view line, std::int64_t testLine, LoadedPlan& loaded,
                                   TextFields& textFields) {
    if (loaded.plan.entries.size() >=
        static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return "Line " + std::to_string(testLine + kHeaderLines) + ": too many tests";
    }
    const LineNumbers numbers = ReadLineNumbers(line);
    TestPlanEntry entry;
    if (const auto column = StoreNumbers(numbers, entry)) {
        return RangeError(testLine + kHeaderLines, *column);
    }
    NoteTextFields(numbers, testLine + kHeaderLines, textFields);
    entry.index = static_cast<std::int32_t>(loaded.plan.entries.size());
    loaded.plan.entries.push_back(entry);
    loaded.rows.push_back(MakeRowTexts(testLine, entry, numbers.values[4]));
    return std::nullopt;
}

Result<LoadedPlan> ParseLines(std::string_view contents) {
    if (auto error = ControlCharacterError(contents)) {
        return Fail(std::move(*error));
    }
    for (int i = 0; i < kHeaderLines && !contents.empty(); ++i) {
        TakeLine(contents);
    }
    LoadedPlan loaded;
    TextFields textFields;
    std::int64_t testLine = 0;
    while (!contents.empty()) {
        const std::string_view line = TakeLine(contents);
        ++testLine;
        if (line.empty()) {
            continue;
        }
        if (auto error = AddTest(line, testLine, loaded, textFields)) {
            return Fail(std::move(*error));
        }
    }
    loaded.warning = TextFieldsWarning(textFields);
    return loaded;
}

// The station's text, then the path and the system's reason, so that the
// operator sees which file and what to do about it. The path is escaped: the
// text's one line break is its own.
Failure<std::string> OpenFailure(const std::filesystem::path& file, const FileReadError& read) {
    return Fail(std::string(kCantOpenPlanText) + "\n" +
                PrintableText(file.string(), std::string::npos) + ": " + read.reason);
}

constexpr const char* kOutOfMemory = "Not enough memory to load the test parameters file";

}  // namespace

Result<LoadedPlan> LoadTestPlanFile(const std::filesystem::path& file,
                                    const std::atomic<bool>* stop) {
    try {
        auto read = ReadRegularFile(file, kMaxPlanBytes, stop);
        if (!read) {
            return OpenFailure(file, read.Error());
        }
        auto result = ParseLines(*read);
        if (result) {
            result->text = std::move(*read);
        }
        return result;
    } catch (const std::bad_alloc&) {
        return Fail(kOutOfMemory);
    }
}

Result<LoadedPlan> ParseTestPlan(std::string_view contents) {
    try {
        return ParseLines(contents);
    } catch (const std::bad_alloc&) {
        return Fail(kOutOfMemory);
    }
}

}  // namespace orvalt
