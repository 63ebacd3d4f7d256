#include "support/HeadlessChromium.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace orvalt::test {

std::string Chromium() {
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
        if (std::filesystem::exists(path)) {
            return path;
        }
    }
    return {};
}

bool ChromiumTestsMaySkip() {
    const char* ci = std::getenv("CI");
    return Chromium().empty() && (ci == nullptr || std::string(ci) != "true");
}

std::string Output(const std::string& command) {
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
    std::string text;
    char buffer[8192];
    std::size_t count;
    while (pipe && (count = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) {
        text.append(buffer, count);
    }
    return text;
}

std::string InChromium(const std::string& browser, const std::string& action,
                       const std::filesystem::path& page, const TempFolder& folder) {
    return Output(browser +
                  " --headless --no-sandbox --disable-gpu --disable-background-networking"
                  " --disable-component-update --disable-sync --no-first-run --user-data-dir=" +
                  (folder / "profile").string() + " " + action + " file://" + page.string() +
                  " 2>/dev/null");
}

std::string RenderedDom(const std::string& browser, const std::filesystem::path& page,
                        const TempFolder& folder) {
    return InChromium(browser, "--dump-dom", page, folder);
}

}  // namespace orvalt::test
