// Texts from records and command lines as a terminal receives them.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "domain/PrintableText.h"

namespace orvalt::test {
namespace {

// True when every byte is printable ASCII or part of a well-formed UTF-8
// character at U+00A0 or above.
bool IsSafeForATerminal(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0x20 && lead < 0x7F) {
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        if (lead == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            return false;  // C1 controls
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

TEST(PrintableTextTest, EscapesControlsAndBadBytesAndKeepsTheRest) {
    EXPECT_EQ(PrintableText("SN-1\nforged line"), "SN-1\\nforged line");
    EXPECT_EQ(PrintableText("\x1b[2J\r\t\x7f"), "\\x1b[2J\\r\\t\\x7f");
    EXPECT_EQ(PrintableText(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(PrintableText("25 \xC2\xB0"
                            "C, Gr\xC3\xBC\xC3\x9F"
                            "e \xE2\x82\xAC \xF0\x9F\x92\xA1"),
              "25 \xC2\xB0"
              "C, Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC \xF0\x9F\x92\xA1");
    EXPECT_EQ(PrintableText("Latin-1 \xB0 \xFF"), "Latin-1 \\xb0 \\xff");
    EXPECT_EQ(PrintableText("\xC2\x9B"
                            "31m"),
              "\\xc2\\x9b31m");  // C1 CSI
    EXPECT_EQ(PrintableText("\xC0\xAF \xED\xA0\x80"), "\\xc0\\xaf \\xed\\xa0\\x80");
    EXPECT_EQ(PrintableText("\xE2\x82"), "\\xe2\\x82");  // cut short
}

TEST(PrintableTextTest, ALongValueIsCutAndSaysHowLongItWas) {
    const std::string digits(5000, '7');
    EXPECT_EQ(PrintableText(digits), std::string(kShownTextMax, '7') + "... (5000 bytes)");
    EXPECT_EQ(PrintableText(std::string(kShownTextMax, 'x')), std::string(kShownTextMax, 'x'));
    // An escape is never split: it counts as the characters it shows.
    EXPECT_EQ(PrintableText("abc\x1b"
                            "def",
                            5),
              "abc... (7 bytes)");
    EXPECT_EQ(PrintableText("\xE2\x82\xAC\xE2\x82\xAC", 1), "\xE2\x82\xAC... (6 bytes)");
}

TEST(PrintableTextTest, AnyBytesComeOutSafeAndWithinTheirLimit) {
    std::mt19937 random(8);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(random() % 200, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(round % 2 ? random() % 256 : 0x18 + random() % 0x70);
        }
        const std::size_t limit = 1 + random() % 100;
        const std::string shown = PrintableText(bytes, limit);
        ASSERT_TRUE(IsSafeForATerminal(shown)) << round;
        const std::size_t cut = shown.rfind("... (");
        const std::string kept = cut == std::string::npos ? shown : shown.substr(0, cut);
        EXPECT_LE(kept.size(), 4 * limit);
        const bool plain =
            std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
        if (bytes.size() <= limit && plain) {
            EXPECT_EQ(shown, bytes);
        }
        if (cut != std::string::npos) {
            EXPECT_EQ(shown.substr(cut), "... (" + std::to_string(bytes.size()) + " bytes)");
        }
    }
}

}  // namespace
}  // namespace orvalt::test
