#pragma once
// printf-style formatting into a std::string: the station's texts are given as
// printf formats ("%.2f", "%d"), and this keeps them exactly as written.

#include <cstdarg>
#include <cstdio>
#include <string>

namespace orvalt {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
inline std::string
Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0) {
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    return text;
}

}  // namespace orvalt
