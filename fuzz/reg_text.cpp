// The settings file's text reader over any bytes, and its writer behind it:
// whatever was read is written so that reading it again gives the same
// document, and writing that gives the same text.

#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "RegDump.h"
#include "config/RegText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const orvalt::RegDocument document = orvalt::ParseRegText(orvalt::BytesOf(data, size));
    const std::string text = orvalt::FormatRegText(document);
    const orvalt::RegDocument again = orvalt::ParseRegText(text);
    orvalt::Require(orvalt::DumpDocument(again) == orvalt::DumpDocument(document),
                    "a written document reads back the same");
    orvalt::Require(orvalt::FormatRegText(again) == text, "writing it again gives the same text");
    return 0;
}
