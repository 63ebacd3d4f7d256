// Reading and writing the .reg text form of the registry.

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "config/RegText.h"

namespace orvalt {
namespace {

constexpr std::string_view kKey = "HKEY_CURRENT_USER\\K";

std::string OneKeyFile(std::string_view lines) {
    return "REGEDIT4\r\n\r\n[" + std::string(kKey) + "]\r\n" + std::string(lines) + "\r\n";
}

std::optional<RegValue> ValueIn(const RegDocument& document, std::string_view name,
                                std::string_view key = kKey) {
    const RegKeyData* stored = document.FindKey(key);
    const RegValue* value = stored != nullptr ? stored->Find(name) : nullptr;
    return value != nullptr ? std::optional(*value) : std::nullopt;
}

struct ValueLineCase {
    std::string line;
    std::string name;
    std::optional<RegValue> expected;  // nullopt: the line is skipped
};

void PrintTo(const ValueLineCase& test, std::ostream* out) {
    *out << test.line;
}

class ValueLineTest : public ::testing::TestWithParam<ValueLineCase> {};

TEST_P(ValueLineTest, ReadsOrSkipsTheLine) {
    const ValueLineCase& test = GetParam();
    const std::optional<RegValue> value = ValueIn(ParseRegText(OneKeyFile(test.line)), test.name);
    ASSERT_EQ(value.has_value(), test.expected.has_value()) << test.line;
    if (value) {
        EXPECT_EQ(value->type, test.expected->type) << test.line;
        EXPECT_EQ(value->data, test.expected->data) << test.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ValueLineTest,
    ::testing::Values(
        ValueLineCase{"\"A\"=\"text\"", "A", RegValue{REG_SZ, "text"}},
        ValueLineCase{R"("A"="a\\b\"c")", "A", RegValue{REG_SZ, "a\\b\"c"}},
        ValueLineCase{R"("A"="C:\dir")", "A", RegValue{REG_SZ, "C:\\dir"}},
        ValueLineCase{"\"A\"=\"\"", "A", RegValue{REG_SZ, ""}},
        ValueLineCase{"\"a\\\"b\"=\"x\"", "a\"b", RegValue{REG_SZ, "x"}},
        ValueLineCase{"@=\"default\"", "", RegValue{REG_SZ, "default"}},
        ValueLineCase{"  \"A\" = \"spaced\"  ", "A", RegValue{REG_SZ, "spaced"}},
        ValueLineCase{"\"A\"=dword:0000000a", "A", RegValue{REG_DWORD, DwordBytes(10)}},
        ValueLineCase{"\"A\"=DWORD:FFFFFFFF", "A", RegValue{REG_DWORD, DwordBytes(0xFFFFFFFFu)}},
        ValueLineCase{"\"A\"=dword:7", "A", RegValue{REG_DWORD, DwordBytes(7)}},
        ValueLineCase{"\"A\"=hex:01,02,ff", "A", RegValue{REG_BINARY, "\x01\x02\xff"}},
        ValueLineCase{"\"A\"=hex:", "A", RegValue{REG_BINARY, ""}},
        ValueLineCase{"\"A\"=hex(2):25,00", "A", RegValue{REG_EXPAND_SZ, std::string("%\0", 2)}},
        ValueLineCase{"\"A\"=hex(b):01,00,00,00,00,00,00,00", "A",
                      RegValue{REG_QWORD, std::string("\x01\0\0\0\0\0\0\0", 8)}},
        ValueLineCase{"\"A\"=hex(1):61,00,62", "A", RegValue{REG_SZ, std::string("a\0b", 3)}},
        ValueLineCase{"\"A\"=dword:1ffffffff", "A", std::nullopt},
        ValueLineCase{"\"A\"=dword:", "A", std::nullopt},
        ValueLineCase{"\"A\"=dword:12g4", "A", std::nullopt},
        ValueLineCase{"\"A\"=dword:-1", "A", std::nullopt},
        ValueLineCase{"\"A\"=hex:01,,02", "A", std::nullopt},
        ValueLineCase{"\"A\"=hex:1ff", "A", std::nullopt},
        ValueLineCase{"\"A\"=hex:01,02,", "A", std::nullopt},
        ValueLineCase{"\"A\"=hex(zz):01", "A", std::nullopt},
        ValueLineCase{"\"A\"=hex(2:01", "A", std::nullopt},
        ValueLineCase{"\"A\"=\"unterminated", "A", std::nullopt},
        ValueLineCase{"\"A\"=\"x\" trailing", "A", std::nullopt},
        ValueLineCase{"A=\"no quotes\"", "A", std::nullopt},
        ValueLineCase{"\"A\" \"no equals\"", "A", std::nullopt},
        ValueLineCase{"\"A\"=bare text", "A", std::nullopt},
        ValueLineCase{"\"A", "A", std::nullopt}));

TEST(RegTextRead, AcceptsEveryLineEnding) {
    for (const std::string_view ending : {"\r\n", "\n", "\r"}) {
        std::string text = "REGEDIT4";
        for (const std::string_view line :
             {"", "[HKEY_CURRENT_USER\\K]", "\"A\"=\"1\"", "\"B\"=dword:2"}) {
            text += std::string(ending) + std::string(line);
        }
        const RegDocument document = ParseRegText(text);
        EXPECT_EQ(ValueIn(document, "A")->data, "1");
        EXPECT_EQ(ValueIn(document, "B")->data, DwordBytes(2));
    }
}

TEST(RegTextRead, JoinsContinuedHexLinesButNeverSwallowsTheNextEntry) {
    const RegDocument document =
        ParseRegText(OneKeyFile("\"Long\"=hex:01,02,\\\r\n  03,04\r\n"
                                "\"Cut\"=hex:01,02,\\\r\n"
                                "\"After\"=\"kept\"\r\n"
                                "\"CutBeforeKey\"=hex:05,\\\r\n"
                                "[HKEY_CURRENT_USER\\Other]\r\n"
                                "\"B\"=dword:1"));
    EXPECT_EQ(ValueIn(document, "Long")->data, "\x01\x02\x03\x04");
    EXPECT_FALSE(ValueIn(document, "Cut"));
    EXPECT_EQ(ValueIn(document, "After")->data, "kept");
    EXPECT_FALSE(ValueIn(document, "CutBeforeKey"));
    EXPECT_EQ(ValueIn(document, "B", "HKEY_CURRENT_USER\\Other")->data, DwordBytes(1));
}

TEST(RegTextRead, MergesKeysRegardlessOfCaseAndLetsTheLastValueWin) {
    const RegDocument document = ParseRegText(
        "REGEDIT4\r\n\"Orphan\"=\"before any key\"\r\n"
        "[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"first\"\r\n\"Gone\"=\"x\"\r\n"
        "[-HKEY_CURRENT_USER\\K]\r\n\"Ignored\"=\"x\"\r\n"
        "[hkey_current_user\\k]\r\n\"a\"=\"second\"\r\n\"Gone\"=-\r\n");
    ASSERT_EQ(document.Keys().size(), 1u);
    EXPECT_EQ(document.Keys().front().Path(), kKey);
    EXPECT_EQ(ValueIn(document, "A")->data, "second");
    EXPECT_FALSE(ValueIn(document, "Gone"));
    EXPECT_FALSE(ValueIn(document, "Ignored"));
    EXPECT_FALSE(ValueIn(document, "Orphan"));
}

TEST(RegTextRead, ReadsUtf16ExportsAndSkipsAUtf8Mark) {
    const std::string narrow = OneKeyFile("\"A\"=\"caf\xe9\"\r\n\"B\"=dword:00000003");
    std::string wide = "\xFF\xFE";
    for (const char c : narrow) {
        wide += c;
        wide += '\0';
    }
    wide += "\x3A\x26";  // U+263A does not fit in 8 bits
    EXPECT_EQ(ValueIn(ParseRegText(wide), "A")->data, "caf\xe9");
    EXPECT_EQ(ValueIn(ParseRegText(wide), "B")->data, DwordBytes(3));
    EXPECT_EQ(ValueIn(ParseRegText("\xEF\xBB\xBF" + narrow), "A")->data, "caf\xe9");
}

TEST(RegTextRead, SurvivesRandomBytes) {
    std::mt19937 random(1234);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    // Some structure in the noise, so the parser gets past the first character.
    for (std::size_t i = 0; i + 40 < noise.size(); i += 997) {
        noise.replace(i, 40, "\n[HKEY_CURRENT_USER\\K]\n\"A\"=hex(2):01,\\\n");
    }
    const RegDocument document = ParseRegText(noise);
    EXPECT_NE(document.FindKey(kKey), nullptr);
}

TEST(RegTextWrite, EveryValueComesBackExactly) {
    RegDocument document;
    RegKeyData& key = document.AddKey(kKey);
    const std::vector<std::pair<std::string, RegValue>> values{
        {"Text", {REG_SZ, "plain \\ \"quoted\" \xe9"}},
        {"Empty", {REG_SZ, ""}},
        {"WithZero", {REG_SZ, std::string("a\0b", 3)}},
        {"WithLineBreaks", {REG_SZ, "one\r\ntwo\rthree\n"}},
        {"Number", {REG_DWORD, DwordBytes(0x80000001u)}},
        {"ShortNumber", {REG_DWORD, "\x01\x02"}},
        {"Expand", {REG_EXPAND_SZ, std::string("%HOME%\0", 7)}},
        {"Multi", {REG_MULTI_SZ, std::string("a\0b\0\0", 5)}},
        {"Binary", {REG_BINARY, std::string(1000, '\xAB')}},
        {"Odd type", {0x1234u, std::string("\x00\x01", 2)}},
        {"", {REG_SZ, "default value"}},
        {"Name \"with\" \\ quotes", {REG_SZ, "x"}},
    };
    for (const auto& [name, value] : values) {
        key.Set(name, value);
    }
    const std::string text = FormatRegText(document);
    EXPECT_TRUE(text.starts_with("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"));
    const RegDocument again = ParseRegText(text);
    for (const auto& [name, value] : values) {
        const std::optional<RegValue> read = ValueIn(again, name);
        ASSERT_TRUE(read) << name;
        EXPECT_EQ(read->type, value.type) << name;
        EXPECT_EQ(read->data, value.data) << name;
    }
}

TEST(RegTextWrite, UsesTheFormsAnEditorExpects) {
    RegDocument document;
    RegKeyData& key = document.AddKey(kKey);
    key.Set("Text", {REG_SZ, "C:\\dir"});
    key.Set("Number", {REG_DWORD, DwordBytes(10)});
    key.Set("Break", {REG_SZ, "a\nb"});
    key.Set("Long", {REG_BINARY, std::string(500, '\x01')});
    const std::string text = FormatRegText(document);
    EXPECT_NE(text.find("\r\n\"Text\"=\"C:\\\\dir\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n\"Number\"=dword:0000000a\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n\"Break\"=hex(1):61,0a,62\r\n"), std::string::npos);
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos;
         end = text.find("\r\n", start)) {
        EXPECT_LE(end - start, 80u);
        start = end + 2;
    }
}

}  // namespace
}  // namespace orvalt
