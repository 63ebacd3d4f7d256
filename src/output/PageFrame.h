#pragma once
// The frame every live page shares: the header with the way to the line, the
// models and a serial's search, the banners for a lost connection, a
// database away and a database file replaced, and <main id="page"> that the page's script replaces
// with the part the server sends for ?part=main on each change.

#include <cstdint>
#include <string>

namespace orvalt {

struct PageFrame {
    std::string title;     // plain text
    std::string database;  // as ShownDatabase gives it: never a password
    std::uint64_t generation = 0;
    bool away = false;   // the database can't be read now
    std::string serial;  // the search box's text
    // Style rules of the page's own, beside the frame's.
    std::string style;
    // When the database's file was found replaced (UTC, ISO 8601); empty
    // while it never was.
    std::string replacedAt;
};

// The whole page around `main`, the inner HTML of <main id="page">.
std::string FramedPage(const PageFrame& frame, const std::string& main);

// The banner texts, as the page's script shows them too.
inline constexpr const char* kLostConnectionText =
    "Lost the connection to the dashboard; trying again...";
inline constexpr const char* kDatabaseAwayText =
    "The results database can't be read; the page shows what it said last.";
// Around the time it was found replaced.
inline constexpr const char* kDatabaseReplacedText = "The results database was replaced at ";
inline constexpr const char* kDatabaseReplacedAfter =
    "; the pages show what stands at its path now.";

}  // namespace orvalt
