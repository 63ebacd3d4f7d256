#include "verdict/LimitsFile.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "domain/PrintableText.h"
#include "platform/SafeFile.h"
#include "verdict/MeasurementCatalogue.h"
#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr std::size_t kFields = 3;
constexpr std::size_t kQuotedTextMax = 40;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct LineError {
    std::string text;
};

// Takes the next line off `rest`; LF or CR LF ends it, a last line without an
// end still counts.
std::string_view TakeLine(std::string_view& rest) {
    const std::size_t newline = rest.find('\n');
    std::string_view line = rest.substr(0, newline);
    rest.remove_prefix(newline == std::string_view::npos ? rest.size() : newline + 1);
    if (newline != std::string_view::npos && line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = line.find(',');
        fields.push_back(Trimmed(line.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(comma + 1);
    }
}

// A file's text inside an error message: quoted, as a terminal can show it.
std::string Quoted(std::string_view text) {
    return '"' + PrintableText(text, kQuotedTextMax) + '"';
}

bool IsHeader(const std::vector<std::string_view>& fields) {
    constexpr std::array<std::string_view, kFields> kHeader{"measurement", "min", "max"};
    return fields.size() == kFields &&
           std::equal(fields.begin(), fields.end(), kHeader.begin(), [](auto got, auto want) {
               return std::equal(
                   got.begin(), got.end(), want.begin(), want.end(),
                   [](char g, char w) { return std::tolower(static_cast<unsigned char>(g)) == w; });
           });
}

std::optional<double> ReadBound(std::string_view text, const char* which,
                                const MeasurementInfo& measurement,
                                std::optional<LineError>& error) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::optional<DecimalText> bound = ParseDecimal(text);
    if (!bound) {
        error = LineError{std::string(which) + " " + Quoted(text) + " is not a number"};
        return std::nullopt;
    }
    if (bound->decimals > measurement.decimals) {
        error = LineError{std::string(which) + " " + PrintableText(text, kQuotedTextMax) +
                          " has more decimals than " + measurement.name + " shows (" +
                          std::to_string(measurement.decimals) + ")"};
        return std::nullopt;
    }
    return bound->value;
}

std::optional<LineError> CheckOrder(const Limit& limit) {
    if (limit.min && limit.max && *limit.min > *limit.max) {
        return LineError{"min " + ShownText(*limit.min, limit.decimals) + " is above max " +
                         ShownText(*limit.max, limit.decimals)};
    }
    return std::nullopt;
}

const Limit* Find(const Limits& limits, std::string_view name) {
    const auto found = std::find_if(limits.rows.begin(), limits.rows.end(),
                                    [name](const Limit& limit) { return limit.name == name; });
    return found == limits.rows.end() ? nullptr : &*found;
}

std::optional<LineError> CheckName(std::string_view name, const MeasurementInfo* measurement,
                                   const Limits& limits) {
    if (name.empty()) {
        return LineError{"no measurement named"};
    }
    if (!measurement) {
        return LineError{"unknown measurement " + Quoted(name)};
    }
    if (const Limit* earlier = Find(limits, measurement->name)) {
        return LineError{measurement->name + " is already limited on line " +
                         std::to_string(earlier->line)};
    }
    return std::nullopt;
}

std::optional<LineError> AddLimit(std::string_view line, int lineNumber, Limits& limits) {
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() != kFields) {
        return LineError{"expected 3 fields (measurement,min,max), found " +
                         std::to_string(fields.size())};
    }
    const MeasurementInfo* measurement = FindMeasurement(fields[0]);
    if (auto error = CheckName(fields[0], measurement, limits)) {
        return error;
    }
    Limit limit{measurement->name, measurement->decimals, std::nullopt, std::nullopt, lineNumber};
    std::optional<LineError> error;
    limit.min = ReadBound(fields[1], "min", *measurement, error);
    if (!error) {
        limit.max = ReadBound(fields[2], "max", *measurement, error);
    }
    if (!error) {
        error = CheckOrder(limit);
    }
    if (!error) {
        limits.rows.push_back(std::move(limit));
    }
    return error;
}

Failure<std::string> Refused(int lineNumber, const LineError& error) {
    return Fail("Line " + std::to_string(lineNumber) + ": " + error.text);
}

}  // namespace

Result<Limits> ParseLimits(std::string_view contents) {
    if (contents.starts_with(kByteOrderMark)) {
        contents.remove_prefix(kByteOrderMark.size());
    }
    if (!IsHeader(SplitFields(TakeLine(contents)))) {
        return Refused(1, LineError{"the first line must be measurement,min,max"});
    }
    Limits limits;
    for (int lineNumber = 2; !contents.empty(); ++lineNumber) {
        const std::string_view line = TakeLine(contents);
        if (Trimmed(line).empty()) {
            continue;
        }
        if (const auto error = AddLimit(line, lineNumber, limits)) {
            return Refused(lineNumber, *error);
        }
    }
    return limits;
}

Result<LimitsAndText> ReadLimitsFile(const std::filesystem::path& file) {
    auto read = ReadRegularFile(file, kMaxFileBytes);
    if (!read) {
        return Fail(read.Error().missing ? "Can't open limits file " + file.string()
                                         : read.Error().message);
    }
    Result<Limits> parsed = ParseLimits(*read);
    if (!parsed) {
        return Fail(parsed.Error());
    }
    return LimitsAndText{std::move(parsed).Value(), std::move(read).Value()};
}

Result<Limits> LoadLimitsFile(const std::filesystem::path& file) {
    Result<LimitsAndText> read = ReadLimitsFile(file);
    if (!read) {
        return Fail(read.Error());
    }
    return std::move(read).Value().limits;
}

}  // namespace orvalt
