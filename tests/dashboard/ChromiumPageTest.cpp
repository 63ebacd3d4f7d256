// The live browser page the dashboard's tests watch: it loads a page or says
// why not, reads values back, tells what an expression threw, counts and
// dismisses every dialog a page opens (the check that no injected script ran
// stands on it), and draws the page as a PNG.

#include <gtest/gtest.h>

#include <chrono>

#include "support/ChromiumPage.h"

namespace orvalt::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

// A PNG's width and height, from its IHDR chunk.
std::pair<unsigned, unsigned> PngSize(const std::string& png) {
    const auto number = [&](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = at; i < at + 4 && i < png.size(); ++i) {
            value = value << 8 | static_cast<unsigned char>(png[i]);
        }
        return value;
    };
    return {number(16), number(20)};
}

TEST(ChromiumPageTest, APageLoadsOrSaysWhyIsReadBackAndCountsItsDialogs) {
    ChromiumPage page(Chromium());
    ORVALT_NEED_PAGE(page);
    const Result<void> unreachable = page.Navigate("http://127.0.0.1:1/");
    ASSERT_FALSE(unreachable);
    EXPECT_TRUE(unreachable.Error().starts_with("http://127.0.0.1:1/: net::ERR_"))
        << unreachable.Error();

    ASSERT_EQ(page.DialogsOpened(), 0);
    const Result<void> loaded =
        page.Navigate("data:text/html,<p id=said>said</p><script>alert('a');confirm('b')</script>");
    ASSERT_TRUE(loaded) << loaded.Error();
    // Each dialog was dismissed: the page goes on and answers.
    const Result<json> said = page.Evaluate("document.getElementById('said').textContent");
    ASSERT_TRUE(said) << said.Error();
    EXPECT_EQ(*said, "said");
    EXPECT_EQ(page.DialogsOpened(), 2);

    const Result<json> thrown = page.Evaluate("nothing.here");
    ASSERT_FALSE(thrown);
    EXPECT_NE(thrown.Error().find("ReferenceError: nothing is not defined"), std::string::npos)
        << thrown.Error();
    EXPECT_FALSE(page.WaitUntil("document.title === 'never'", 200ms));
    EXPECT_TRUE(page.WaitUntil("document.title = 'now', true", 200ms));

    const Result<std::string> png = page.Screenshot();
    ASSERT_TRUE(png) << png.Error();
    EXPECT_TRUE(png->starts_with("\x89PNG\r\n\x1a\n")) << png->substr(0, 16);
    EXPECT_EQ(png->substr(12, 4), "IHDR");
    const Result<json> viewport = page.Evaluate("[window.innerWidth, window.innerHeight]");
    ASSERT_TRUE(viewport) << viewport.Error();
    using Size = std::pair<unsigned, unsigned>;
    EXPECT_EQ(PngSize(*png), viewport->get<Size>());
}

}  // namespace
}  // namespace orvalt::test
