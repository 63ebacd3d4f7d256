#pragma once
// A strict reader of one record of comma-separated text, as the spreadsheet
// and script readers of the station's result files take it: the blanks after
// a comma are skipped; a field that then opens with a double quote runs to the
// quote that closes it (a doubled quote stands for one) and must end there; a
// field without quotes may hold no quote and no line break. Header-only, so
// that the fuzz targets use it too.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt::test {

namespace csv_record {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// The quoted field that opens at `at` (its quote), decoded; `at` is left just
// past the closing quote. Nothing when it is never closed.
inline std::optional<std::string> TakeQuoted(std::string_view line, std::size_t& at) {
    std::string field;
    for (++at; at < line.size(); ++at) {
        if (line[at] != '"') {
            field += line[at];
        } else if (at + 1 < line.size() && line[at + 1] == '"') {
            field += '"';
            ++at;
        } else {
            ++at;
            return field;
        }
    }
    return std::nullopt;
}

inline std::optional<std::string> TakePlain(std::string_view line, std::size_t& at) {
    const std::size_t end = std::min(line.find(',', at), line.size());
    const std::string_view field = line.substr(at, end - at);
    at = end;
    if (field.find_first_of("\"\r\n") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(field);
}

}  // namespace csv_record

// The fields of `line`, or nothing when it is not well-formed.
inline std::optional<std::vector<std::string>> ReadCsvRecord(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (true) {
        while (at < line.size() && csv_record::IsBlank(line[at])) {
            ++at;
        }
        const bool quoted = at < line.size() && line[at] == '"';
        auto field = quoted ? csv_record::TakeQuoted(line, at) : csv_record::TakePlain(line, at);
        if (!field || (at < line.size() && line[at] != ',')) {
            return std::nullopt;
        }
        fields.push_back(std::move(*field));
        if (at == line.size()) {
            return fields;
        }
        ++at;  // the comma
    }
}

}  // namespace orvalt::test
