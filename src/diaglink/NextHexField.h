#pragma once
// Reading the blank-separated hexadecimal fields of a diagnostic line.

#include <cstdint>
#include <string>

#include "domain/DiagLine.h"

namespace orvalt {

// Takes the next field off the front of `text`: everything up to the first
// blank (0x20), or all of it; `text` keeps what follows that blank. White
// space at both ends of the field is trimmed. `value` gets the field read as
// hexadecimal digits into a 32-bit register (each digit shifts four bits in,
// so "FFFFFFFF" is -1 and a ninth digit pushes the first one out). A field
// with any other character gives 0 and false; an empty field gives 0 and true.
bool NextHexField(std::string& text, std::int32_t& value);

// The first three fields of a line; a field that is not hexadecimal is 0.
DiagFields DecodeDiagLine(std::string text);

}  // namespace orvalt
