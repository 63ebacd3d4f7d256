// The totals line over any manufacturer and any summary line: it ends with
// everything after the fourth field unchanged, and when the first three fields
// hold no quote (as the station's date and marks never do) they come back as
// they were, followed by the manufacturer as one field, unless it is a text
// that can't read back as written.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "CsvReadBack.h"
#include "FuzzCheck.h"
#include "results/CsvField.h"
#include "results/TotalsLine.h"

namespace orvalt {
namespace {

bool HoldsNoQuote(std::string_view field) {
    return field.find('"') == std::string_view::npos;
}

void CheckTotalsLine(std::string_view manufacturer, std::string_view summary) {
    const std::string totals = FormatTotalsLine(manufacturer, summary);
    std::string_view rest = summary;
    std::string_view fields[4];
    for (std::string_view& field : fields) {
        field = TakeCsvField(rest);
    }
    Require(totals.ends_with(rest), "the fields after the fourth are kept unchanged");
    if (!HoldsNoQuote(fields[0]) || !HoldsNoQuote(fields[1]) || !HoldsNoQuote(fields[2]) ||
        !ReadsBackAsWritten(manufacturer)) {
        return;
    }
    std::string_view again = totals;
    for (int i = 0; i < 3; ++i) {
        Require(TakeCsvField(again) == fields[i], "fields 1 to 3 are kept");
    }
    Require(TakeCsvField(again) == QuoteCsvField(manufacturer), "the manufacturer is field 4");
    Require(again == rest, "nothing but the rest follows the manufacturer");
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string manufacturer = input.ConsumeRandomLengthString(128);
    const std::string summary = input.ConsumeRemainingBytesAsString();
    orvalt::CheckTotalsLine(manufacturer, summary);
    return 0;
}
