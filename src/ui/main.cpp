// orvalt: the test station's operator window.

#include <QApplication>
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/ProcessSignals.h"
#include "ui/AppIdentity.h"
#include "ui/AppOptions.h"
#include "ui/COrvaltApp.h"

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

// Qt's own options (-platform, -display, -style ...) take one dash.
bool HasToolkitOptions(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& arg) {
        return arg.size() > 1 && arg[0] == '-' && arg[1] != '-';
    });
}

int Refuse(const std::string& error) {
    std::cerr << "orvalt: " << error << '\n' << orvalt::kAppUsage;
    return 2;
}

// Help and the version are answered without a window; nothing otherwise.
std::optional<int> AnswerWithoutWindow(const orvalt::AppOptionsResult& parsed) {
    if (parsed.helpRequested) {
        std::cout << orvalt::kAppUsage << std::flush;
        return 0;
    }
    if (parsed.versionRequested) {
        std::cout << orvalt::kVersionText << std::endl;
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    // Checked before the toolkit starts, so that a mistyped option is told
    // even where there is no display.
    const orvalt::AppOptionsResult early = orvalt::ParseAppOptions(Arguments(argc, argv));
    if (auto answered = AnswerWithoutWindow(early)) {
        return *answered;
    }
    if (!early.options && !HasToolkitOptions(Arguments(argc, argv))) {
        return Refuse(early.error);
    }
    orvalt::IgnoreWriteSignals();
    QApplication application(argc, argv);
    orvalt::PrepareApplication();
    // The application object has taken its own options out of argv.
    const orvalt::AppOptionsResult parsed = orvalt::ParseAppOptions(Arguments(argc, argv));
    if (auto answered = AnswerWithoutWindow(parsed)) {
        return *answered;
    }
    if (!parsed.options) {
        return Refuse(parsed.error);
    }
    orvalt::COrvaltApp app;
    return app.InitInstance(*parsed.options);
}
