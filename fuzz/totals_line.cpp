// The totals line over any manufacturer and any unit description: a strict
// reader of comma-separated text gets back every field, the manufacturer and
// the seven description texts exactly as they are.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "results/TotalsLine.h"
#include "support/CsvRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string manufacturer = input.ConsumeRandomLengthString(64);
    orvalt::SummaryFields test{"12-06-26", input.ConsumeBool(), {}, "2.51, 0"};
    orvalt::UnitDescription& unit = test.unit;
    for (std::string* text : {&unit.manufacturer, &unit.model, &unit.type, &unit.power,
                              &unit.fixtureSize, &unit.driverManufacturer, &unit.driverModel}) {
        *text = input.ConsumeRandomLengthString(64);
    }
    const auto fields = orvalt::test::ReadCsvRecord(orvalt::FormatTotalsLine(manufacturer, test));
    orvalt::Require(fields.has_value(), "a totals line is well-formed");
    orvalt::Require(fields->size() == 12, "a totals line has its 12 fields");
    orvalt::Require((*fields)[3] == manufacturer, "the manufacturer is field 4");
    const auto texts = orvalt::DescriptionTexts(test.unit);
    for (std::size_t i = 1; i < texts.size(); ++i) {
        orvalt::Require((*fields)[3 + i] == *texts[i], "a description text is read back");
    }
    orvalt::Require((*fields)[10] == "2.51" && (*fields)[11] == "0", "the figures follow");
    return 0;
}
