// The verdict words a record keeps: each kind is written as its word and read
// back as that kind; any other text is of no kind, and is kept as it stands.

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "domain/VerdictWord.h"
#include "records/RecordValues.h"

namespace orvalt {
namespace {

const std::vector<VerdictKind> kEveryKind{VerdictKind::Pass, VerdictKind::Fail, VerdictKind::Error,
                                          VerdictKind::NotJudged};

TEST(VerdictWord, EveryKindsWordReadsBackAsThatKindAndNoOther) {
    std::vector<std::string> words;
    for (const VerdictKind kind : kEveryKind) {
        const std::string word = VerdictKindWord(kind);
        SCOPED_TRACE(word);
        EXPECT_EQ(VerdictKindFromWord(word), kind);
        const StoredVerdict written(kind);
        EXPECT_EQ(written.Word(), word);
        EXPECT_EQ(StoredVerdict::Read(word), written);
        words.push_back(word);
    }
    // The words the records have always held, byte for byte.
    EXPECT_EQ(words, (std::vector<std::string>{"PASS", "FAIL", "ERROR", "NOT JUDGED"}));
}

// Near misses of each word are none of them: the reader never guesses.
TEST(VerdictWord, AnyOtherTextIsOfNoKindAndKeptAsItStands) {
    std::vector<std::string> others{"",           "N/A",       "not judged",
                                    "NOT_JUDGED", "NOTJUDGED", std::string("PASS\0", 5)};
    for (const VerdictKind kind : kEveryKind) {
        std::string word = VerdictKindWord(kind);
        std::string lower = word;
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        others.insert(others.end(), {lower, word + " ", " " + word, word.substr(1),
                                     word.substr(0, word.size() - 1), word + word});
        std::string title = lower;
        title[0] = word[0];
        others.push_back(title);
    }
    for (const std::string& other : others) {
        SCOPED_TRACE("\"" + other + "\"");
        EXPECT_EQ(VerdictKindFromWord(other), std::nullopt);
        const StoredVerdict read = StoredVerdict::Read(other);
        EXPECT_EQ(read.Kind(), std::nullopt);
        EXPECT_EQ(read.Word(), other);
    }
}

// The tally counts a pass as passed and every other verdict, of a kind or
// not, as failed: a word of no kind proves no pass.
TEST(VerdictWord, TheRunsTallyPassesOnlyAPass) {
    RunTally tally;
    for (const StoredVerdict& verdict :
         {StoredVerdict(VerdictKind::Pass), StoredVerdict(VerdictKind::Fail),
          StoredVerdict(VerdictKind::NotJudged), StoredVerdict::Read("pass")}) {
        CountTestEnd(tally, {RecordEnd::Completed, "", {}, Verdict{verdict, ""}, ""});
    }
    CountTestEnd(tally, {RecordEnd::Stopped, "", {}, std::nullopt, ""});
    EXPECT_EQ(tally.completed, 4);
    EXPECT_EQ(tally.passed, 1);
    EXPECT_EQ(tally.failed, 3);
}

}  // namespace
}  // namespace orvalt
