// orvalt: the test station's operator window.

#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <iostream>
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

}  // namespace

int main(int argc, char** argv) {
    // Checked before the toolkit starts, so that a mistyped option is told
    // even where there is no display.
    const orvalt::AppOptionsResult early = orvalt::ParseAppOptions(Arguments(argc, argv));
    if (early.helpRequested) {
        std::cout << orvalt::kAppUsage;
        return 0;
    }
    if (!early.options && !HasToolkitOptions(Arguments(argc, argv))) {
        return Refuse(early.error);
    }
    orvalt::IgnoreWriteSignals();
    QApplication application(argc, argv);
    orvalt::PrepareApplication();
    // The application object has taken its own options out of argv.
    const orvalt::AppOptionsResult parsed = orvalt::ParseAppOptions(Arguments(argc, argv));
    if (!parsed.options) {
        return Refuse(parsed.error);
    }
    orvalt::AppOptions options = *parsed.options;
    orvalt::ApplyAutomation(options,
                            {std::getenv("ORVALT_AUTODIAG"), std::getenv("ORVALT_AUTOPLAN"),
                             std::getenv("ORVALT_AUTOSTART")});
    orvalt::COrvaltApp app;
    return app.InitInstance(options);
}
