// orvalt: the test station's operator window.

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "ui/AppIdentity.h"
#include "ui/AppOptions.h"
#include "ui/COrvaltApp.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << orvalt::kAppUsage;
            return 0;
        }
    }
    QApplication application(argc, argv);
    orvalt::PrepareApplication();
    // The application object has taken its own options out of argv.
    const orvalt::AppOptionsResult parsed =
        orvalt::ParseAppOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << "orvalt: " << parsed.error << '\n' << orvalt::kAppUsage;
        return 2;
    }
    orvalt::AppOptions options = *parsed.options;
    orvalt::ApplyAutomation(options,
                            {std::getenv("ORVALT_AUTODIAG"), std::getenv("ORVALT_AUTOPLAN"),
                             std::getenv("ORVALT_AUTOSTART")});
    orvalt::COrvaltApp app;
    return app.InitInstance(options);
}
