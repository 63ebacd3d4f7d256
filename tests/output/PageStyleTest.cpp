// The verdicts' colours stand in every stylesheet as tokens: each token is
// replaced wherever it stands, side by side or repeated, and nothing else.

#include <gtest/gtest.h>

#include "output/PageStyle.h"

namespace orvalt {
namespace {

TEST(PageStyle, EveryColourTokenIsReplacedAndNothingElse) {
    EXPECT_EQ(WithVerdictColours(".a{color:$pass}.b{color:$fail;border:$fail}.c{fill:$error}"),
              ".a{color:#1a7f37}.b{color:#c62828;border:#c62828}.c{fill:#b35c00}");
    EXPECT_EQ(WithVerdictColours("$pass$pass$fail"), "#1a7f37#1a7f37#c62828");
    EXPECT_EQ(WithVerdictColours("$passed $faint $ $err"), "#1a7f37ed $faint $ $err");
    EXPECT_EQ(WithVerdictColours(""), "");
}

}  // namespace
}  // namespace orvalt
