#pragma once
// A diagnostic line as the driver under test sent it, decoded where it was
// received: the link's dispatch thread (or the simulated driver's carrier)
// decodes it, records it for the Time-to-OFF judgement and only then hands it
// to the views, so that no measurement waits for a window.

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalt {

// The first three blank-separated hexadecimal fields; a field that is not
// hexadecimal is 0.
struct DiagFields {
    std::int32_t field1 = 0;
    std::int32_t field2 = 0;
    std::int32_t field3 = 0;
};

struct DiagLine {
    // The line's exact bytes as received, CR/LF cut off, NUL bytes kept.
    std::string bytes;
    DiagFields fields;
    // The station's tick count when the line was decoded.
    std::uint32_t arrivalMs = 0;

    // The line as far as its first NUL byte: what the list shows and SAV writes.
    std::string_view Row() const { return std::string_view(bytes).substr(0, bytes.find('\0')); }
};

}  // namespace orvalt
