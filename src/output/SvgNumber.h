#pragma once
// Coordinates and sizes as the inline SVG charts write them: one decimal, a
// tenth of a pixel being finer than any screen or printer shows.

#include <string>

namespace orvalt {

// "12.3"
std::string SvgNumber(double value);
// ` name="12.3"`, with its leading space.
std::string SvgAttribute(const char* name, double value);

}  // namespace orvalt
