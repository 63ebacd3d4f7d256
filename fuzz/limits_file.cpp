// The limits file reader over any bytes: it loads limits that are consistent
// and read the same with either line end, or loads nothing and names a line.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "verdict/LimitsFile.h"
#include "verdict/MeasurementCatalogue.h"
#include "verdict/ShownNumber.h"

namespace orvalt {
namespace {

std::size_t CountLines(std::string_view contents) {
    std::size_t lines = 1;
    for (const char c : contents) {
        lines += c == '\n';
    }
    return lines;
}

// A bound printed as the verdict prints it reads back as the same number.
void CheckBound(const std::optional<double>& bound, int decimals) {
    if (!bound) {
        return;
    }
    Require(std::isfinite(*bound), "a bound is a finite number");
    const auto again = ParseDecimal(ShownText(*bound, decimals));
    Require(again && again->value == *bound, "a bound survives its own printing");
}

void CheckLoaded(const Limits& limits, std::string_view contents) {
    Require(limits.rows.size() < CountLines(contents), "at most one limit a line");
    for (std::size_t i = 0; i < limits.rows.size(); ++i) {
        const Limit& limit = limits.rows[i];
        const MeasurementInfo* known = FindMeasurement(limit.name);
        Require(known && known->name == limit.name, "a limit names a known measurement");
        Require(limit.decimals == known->decimals, "a limit takes its measurement's decimals");
        Require(!limit.min || !limit.max || *limit.min <= *limit.max, "min is not above max");
        Require(i == 0 || limits.rows[i - 1].line < limit.line, "rows in file order");
        for (std::size_t j = 0; j < i; ++j) {
            Require(limits.rows[j].name != limit.name, "a measurement is limited once");
        }
        CheckBound(limit.min, limit.decimals);
        CheckBound(limit.max, limit.decimals);
    }
}

void CheckRefused(const std::string& error, std::string_view contents) {
    Require(error.starts_with("Line "), "a refused file names its line");
    const std::size_t line = std::stoul(error.substr(5));
    Require(line >= 1 && line <= CountLines(contents), "the line named is in the file");
}

// CR LF in place of every LF that is not already after a CR.
std::string WithCrLf(std::string_view contents) {
    std::string out;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        if (contents[i] == '\n' && (i == 0 || contents[i - 1] != '\r')) {
            out += '\r';
        }
        out += contents[i];
    }
    return out;
}

void CheckSameWithCrLf(const Result<Limits>& lf, std::string_view contents) {
    const Result<Limits> crlf = ParseLimits(WithCrLf(contents));
    Require(crlf.Ok() == lf.Ok(), "line ends change nothing");
    if (!lf) {
        Require(crlf.Error() == lf.Error(), "line ends change nothing");
        return;
    }
    Require(crlf->rows.size() == lf->rows.size(), "line ends keep every limit");
    for (std::size_t i = 0; i < lf->rows.size(); ++i) {
        const Limit& a = lf->rows[i];
        const Limit& b = crlf->rows[i];
        Require(a.name == b.name && a.min == b.min && a.max == b.max && a.line == b.line,
                "line ends keep each limit as it is");
    }
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view contents = orvalt::BytesOf(data, size);
    const orvalt::Result<orvalt::Limits> result = orvalt::ParseLimits(contents);
    if (result) {
        orvalt::CheckLoaded(*result, contents);
    } else {
        orvalt::CheckRefused(result.Error(), contents);
    }
    // A CR that a line's own text holds is no line end: only LF-only input is
    // compared with its CR LF twin.
    if (contents.find('\r') == std::string_view::npos) {
        orvalt::CheckSameWithCrLf(result, contents);
    }
    return 0;
}
