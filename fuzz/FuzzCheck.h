#pragma once
// What a fuzz target does when one of its properties fails: it names the
// property and aborts, so that libFuzzer keeps the input as a crash.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace orvalt {

inline void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property failed: %s\n", property);
        std::abort();
    }
}

inline std::string_view BytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace orvalt
