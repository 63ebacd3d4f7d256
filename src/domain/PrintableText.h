#pragma once
// A text from a record, a file or the command line as it may reach a terminal
// or a log: control characters and bytes that are not UTF-8 shown escaped
// ("\n", "\x1b"), so that no value can forge a line or drive the terminal, and
// a long value cut short with how long it was, so that one value cannot flood
// a message.

#include <cstddef>
#include <string>
#include <string_view>

namespace orvalt {

// Enough for any name, serial or number an operator reads at a glance.
inline constexpr std::size_t kShownTextMax = 64;
// A whole message that quotes what was typed: one line, however long the input.
inline constexpr std::size_t kMessageShownMax = 400;

// `text` with every control character (C0, DEL, C1) and every byte outside
// valid UTF-8 escaped; at most `maxShown` characters of it, then "... (N
// bytes)" when it had to be cut.
std::string PrintableText(std::string_view text, std::size_t maxShown = kShownTextMax);

// Each line of a message the station words over several lines, escaped whole
// as PrintableText does; its line breaks (LF) are kept. Values put into such a
// message are escaped before, so that none of them breaks a line.
std::string PrintableLines(std::string_view text);

}  // namespace orvalt
