#pragma once
// The whole-number fields of a dialog: what the operator typed, read the way
// the dialog's data exchange reads an integer field.

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvalt {

// Blanks around an optional sign and decimal digits, in the 32-bit range;
// nothing for anything else (empty, a fraction, letters, too large).
std::optional<std::int32_t> ParseWholeNumber(std::string_view text);

// The prompt shown when such a field holds something else.
inline constexpr const char* kEnterAnInteger = "Enter an integer.";

}  // namespace orvalt
