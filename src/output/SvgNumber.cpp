#include "output/SvgNumber.h"

#include <cstdio>

namespace orvalt {

std::string SvgNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string SvgAttribute(const char* name, double value) {
    return std::string(" ").append(name).append("=\"").append(SvgNumber(value)).append("\"");
}

}  // namespace orvalt
