#pragma once
// Pages as a browser shows them: Debian's headless Chromium rendering a file,
// and what a program prints, for the tests that read a page back.

#include <filesystem>
#include <string>

#include "support/TempFolder.h"

namespace orvalt::test {

// Chromium's program; empty when it is not installed.
std::string Chromium();

// True when a Chromium test may skip: Chromium is missing and this is not a
// CI run (CI=true), where a missing browser is a failure.
bool ChromiumTestsMaySkip();

// What a shell command printed on its standard output.
std::string Output(const std::string& command);

// Headless Chromium doing `action` (--dump-dom, --print-to-pdf=...) on a page,
// with a profile of its own in the folder.
std::string InChromium(const std::string& browser, const std::string& action,
                       const std::filesystem::path& page, const TempFolder& folder);

// The page's DOM after Chromium rendered it.
std::string RenderedDom(const std::string& browser, const std::filesystem::path& page,
                        const TempFolder& folder);

}  // namespace orvalt::test
