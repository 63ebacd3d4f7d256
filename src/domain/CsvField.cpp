#include "domain/CsvField.h"

namespace orvalt {

namespace {

// Where the quoted part that opens at `open` ends (just past its closing
// quote), or npos when it is never closed.
std::size_t QuotedEnd(std::string_view text, std::size_t open) {
    for (std::size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] != '"') {
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '"') {
            ++i;  // a doubled quote inside
            continue;
        }
        return i + 1;
    }
    return std::string_view::npos;
}

// Where the comma that ends the field is looked for from.
std::size_t FieldBodyEnd(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos || text[first] != '"') {
        return 0;
    }
    const std::size_t end = QuotedEnd(text, first);
    return end == std::string_view::npos ? 0 : end;
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    quoted += '"';
    return quoted;
}

// What readers trim before a field: the blank after the comma, and the
// readers that trim any white space take tabs, vertical tabs and form feeds.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

}  // namespace

std::string QuoteCsvField(std::string_view text) {
    if (text.find(',') == std::string_view::npos) {
        return std::string(text);
    }
    return Quoted(text);
}

std::string QuoteCsvFieldStrictly(std::string_view text) {
    const bool startsWithABlank = !text.empty() && IsBlank(text.front());
    if (!startsWithABlank && text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    return Quoted(text);
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        record.append(i == 0 ? "" : ",").append(QuoteCsvFieldStrictly(fields[i]));
    }
    return record.append("\r\n");
}

std::string_view TakeCsvField(std::string_view& rest) {
    const std::size_t comma = rest.find(',', FieldBodyEnd(rest));
    const std::string_view field = rest.substr(0, comma);
    rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
    return field;
}

}  // namespace orvalt
