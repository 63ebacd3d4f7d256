// Writing values into a settings file keeps what a person wrote there: the
// file as the station writes it comes out as it would write the changed
// values, and a hand-written one keeps every line but those of the values
// that changed, while reading back exactly the changed values.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "config/RegText.h"
#include "config/RegTextRewrite.h"

namespace orvalt {
namespace {

const std::vector<std::string> kKeys{"HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location",
                                     "HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Results",
                                     "HKEY_CURRENT_USER\\Other", "HKEY_CURRENT_USER\\New key"};
const std::vector<std::string> kNames{"VoltageOn", "cfgTime1",        "Model", "ResultsDatabase",
                                      "",          "With \"quotes\"", "Blob"};

RegValue RandomValue(std::mt19937& random) {
    switch (random() % 4) {
        case 0:
            return {REG_SZ, "text " + std::to_string(random() % 100)};
        case 1:
            return {REG_DWORD, DwordBytes(random())};
        case 2:
            return {REG_BINARY, std::string(random() % 90, static_cast<char>(random()))};
        default:
            return {REG_SZ, std::string(random() % 2, '\\')};
    }
}

// Sets, changes and removes values, a removed one never set again (its old
// slot would bring it back where the file no longer has it).
void EditRandomly(RegDocument& document, std::mt19937& random) {
    std::vector<std::string> removed;
    for (int edit = 0, edits = 1 + static_cast<int>(random() % 6); edit < edits; ++edit) {
        const std::string& path = kKeys[random() % kKeys.size()];
        const std::string& name = kNames[random() % kNames.size()];
        if (std::find(removed.begin(), removed.end(), path + '\n' + name) != removed.end()) {
            continue;
        }
        if (random() % 4 == 0) {
            if (RegKeyData* key = document.FindKey(path)) {
                key->Remove(name);
                removed.push_back(path + '\n' + name);
            }
        } else {
            document.AddKey(path).Set(name, RandomValue(random));
        }
    }
}

// The present values of a document, key by key, for comparing two of them.
std::string ValuesOf(const RegDocument& document) {
    std::string values;
    for (const RegKeyData& key : document.Keys()) {
        for (const RegKeyData::Entry& entry : key.Entries()) {
            if (entry.present) {
                values += FoldName(key.Path()) + "|" + FoldName(entry.name) + "|" +
                          std::to_string(entry.value.type) + "|" + entry.value.data + "\n";
            }
        }
    }
    return values;
}

TEST(RegTextRewrite, AFileAsTheStationWritesItComesOutAsItWouldWriteTheChanges) {
    for (unsigned seed = 0; seed < 300; ++seed) {
        std::mt19937 random(seed);
        RegDocument before;
        EditRandomly(before, random);
        const std::string original = FormatRegText(before);
        RegDocument document = ParseRegText(original);
        EditRandomly(document, random);
        EXPECT_EQ(FormatRegTextOver(original, document), FormatRegText(document))
            << "seed " << seed;
    }
}

// A line a person may write, under the key `path` when it names a value.
std::string HandWrittenLine(std::mt19937& random, const std::string& path) {
    const std::string& name = kNames[random() % kNames.size()];
    const std::string quoted = name.empty() ? "@" : "\"" + name + "\"";
    switch (random() % 9) {
        case 0:
            return "; a comment about " + name;
        case 1:
            return "";
        case 2:
            return "  " + quoted + " = dword:0000ABCD  ";
        case 3:
            return quoted + "=\"hand \\\"written\\\"\"";
        case 4:
            return quoted + "=-";
        case 5:
            return quoted + "=hex:01,02,\\\n   03";
        case 6:
            return "this line reads as nothing";
        case 7:
            return "[-" + path + "]\n" + quoted + "=\"under a deleted key\"\n[" + path + "]";
        default:
            // Appended: GCC 12 at -O3 takes "[" + text for an overlapping copy.
            return std::string("[").append(FoldName(path)).append("]");
    }
}

std::string HandWrittenFile(std::mt19937& random) {
    std::string text = random() % 4 == 0 ? "" : "REGEDIT4\n";
    for (int line = 0, lines = static_cast<int>(random() % 30); line < lines; ++line) {
        const std::string& path = kKeys[random() % 3];
        text += random() % 5 == 0 ? "[" + path + "]" : HandWrittenLine(random, path);
        text += random() % 3 == 0 ? "\n" : "\r\n";
    }
    if (random() % 4 == 0 && !text.empty()) {
        text.pop_back();  // no line break at the very end
    }
    return text;
}

// Each line the rewrite must keep, in order: all but the lines of a value
// that changed or went.
std::vector<std::string> LinesToKeep(const std::string& original, const RegDocument& document) {
    std::vector<std::string> kept;
    for (const RegTextLine& line : ReadRegTextLines(original)) {
        const RegKeyData* key = document.FindKey(line.key);
        const RegValue* now = key != nullptr ? key->Find(line.name) : nullptr;
        const bool unchanged = now != nullptr && line.value && now->type == line.value->type &&
                               now->data == line.value->data;
        if (line.kind != RegTextLine::Kind::Value || !line.value || unchanged) {
            kept.push_back(original.substr(line.begin, line.end - line.begin));
        }
    }
    return kept;
}

TEST(RegTextRewrite, AHandWrittenFileKeepsItsLinesAndReadsBackTheChangedValues) {
    for (unsigned seed = 0; seed < 500; ++seed) {
        std::mt19937 random(seed);
        const std::string original = HandWrittenFile(random);
        RegDocument document = ParseRegText(original);
        EditRandomly(document, random);
        const std::string rewritten = FormatRegTextOver(original, document);

        EXPECT_EQ(ValuesOf(ParseRegText(rewritten)), ValuesOf(document)) << "seed " << seed;
        std::size_t at = 0;
        for (const std::string& line : LinesToKeep(original, document)) {
            // An overridden line of a value that changed is kept as it was,
            // so the changed value must come after it to win.
            const std::size_t found = rewritten.find(line, at);
            ASSERT_NE(found, std::string::npos)
                << "seed " << seed << ": lost or moved \"" << line << "\"";
            at = found + line.size();
        }
    }
}

TEST(RegTextRewrite, ChangesOnlyTheLinesOfWhatChanged) {
    const std::string original =
        "REGEDIT4\n\n; line PC 3, set up by hand\n"
        "[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\n"
        "\"VoltageOn\" = \"2.1\"   ; measured\n"
        "\"cfgTime1\"=dword:00004E20\n";
    RegDocument document = ParseRegText(original);
    document.AddKey("HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location")
        .Set("cfgTime1", {REG_DWORD, DwordBytes(30000)});
    document.AddKey("HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Results")
        .Set("ResultsDatabase", {REG_SZ, "postgresql://station@db.line2/orvalt"});
    EXPECT_EQ(FormatRegTextOver(original, document),
              "REGEDIT4\n\n; line PC 3, set up by hand\n"
              "[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\n"
              "\"VoltageOn\" = \"2.1\"   ; measured\n"
              "\"cfgTime1\"=dword:00007530\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Results]\r\n"
              "\"ResultsDatabase\"=\"postgresql://station@db.line2/orvalt\"\r\n\r\n");
}

}  // namespace
}  // namespace orvalt
