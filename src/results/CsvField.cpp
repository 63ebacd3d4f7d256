#include "results/CsvField.h"

namespace orvalt {

std::string QuoteCsvField(std::string_view text) {
    if (text.find_first_of(",\"") == std::string_view::npos) {
        return std::string(text);
    }
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

// A doubled quote inside a quoted field toggles twice, so counting quotes is
// enough to know whether a comma separates.
std::string_view TakeCsvField(std::string_view& rest) {
    bool quoted = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '"') {
            quoted = !quoted;
        } else if (rest[i] == ',' && !quoted) {
            const std::string_view field = rest.substr(0, i);
            rest.remove_prefix(i + 1);
            return field;
        }
    }
    const std::string_view field = rest;
    rest = {};
    return field;
}

}  // namespace orvalt
