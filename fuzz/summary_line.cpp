// The summary line over any unit description and any measured figures: split
// into fields it has its 24 fields, and each of the seven description fields
// holds the operator's text, quoted only when it holds a comma. (A text that
// opens with a double quote and holds no comma is written as typed and may
// read back otherwise; such lines are only built, not checked.)

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CsvReadBack.h"
#include "FuzzCheck.h"
#include "domain/CsvField.h"
#include "results/SummaryLine.h"

namespace orvalt {
namespace {

constexpr std::size_t kFields = 24;
constexpr std::size_t kFirstDescriptionField = 3;

// Any double at all, NaNs and infinities included.
double TakeDouble(FuzzedDataProvider& input) {
    return std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
}

void TakeDoubles(FuzzedDataProvider& input, std::array<double, 4>& values) {
    for (double& value : values) {
        value = TakeDouble(input);
    }
}

TestMeasurements TakeMeasurements(FuzzedDataProvider& input) {
    TestMeasurements m;
    m.notCycling = input.ConsumeIntegralInRange(0, 1);
    for (auto* values : {&m.V1, &m.V2, &m.V3, &m.V4, &m.timeToOffA, &m.timeToOffB}) {
        TakeDoubles(input, *values);
    }
    m.CT = TakeDouble(input);
    m.timeToOn = TakeDouble(input);
    for (auto* number :
         {&m.timeToOffDone, &m.delay, &m.diagValue, &m.saveNotAsExpected, &m.priorCount}) {
        *number = input.ConsumeIntegral<std::int32_t>();
    }
    return m;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    do {
        fields.push_back(TakeCsvField(line));
    } while (!line.empty());
    return fields;
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const orvalt::TestMeasurements m = orvalt::TakeMeasurements(input);
    const int cycleN = input.ConsumeIntegralInRange(-1, 5);
    // Dates as the calendar gives them: what matters here is the text.
    const orvalt::LocalDate date{input.ConsumeIntegralInRange(1970, 9999),
                                 input.ConsumeIntegralInRange(1, 12),
                                 input.ConsumeIntegralInRange(1, 31)};
    orvalt::UnitDescription text;
    for (std::string* field : {&text.manufacturer, &text.model, &text.type, &text.power,
                               &text.fixtureSize, &text.driverManufacturer}) {
        *field = input.ConsumeRandomLengthString(64);
    }
    text.driverModel = input.ConsumeRemainingBytesAsString();
    const std::string line = orvalt::BuildSummaryLine(text, cycleN, m, date);
    for (const std::string* field :
         {&text.manufacturer, &text.model, &text.type, &text.power, &text.fixtureSize,
          &text.driverManufacturer, &text.driverModel}) {
        if (!orvalt::ReadsBackAsWritten(*field)) {
            return 0;
        }
    }
    const auto fields = orvalt::SplitFields(line);
    orvalt::Require(fields.size() == orvalt::kFields, "a summary line has 24 fields");
    std::size_t i = orvalt::kFirstDescriptionField;
    for (const std::string* field :
         {&text.manufacturer, &text.model, &text.type, &text.power, &text.fixtureSize,
          &text.driverManufacturer, &text.driverModel}) {
        orvalt::Require(fields[i++] == " " + orvalt::QuoteCsvField(*field),
                        "a description field holds its text");
    }
    return 0;
}
