// The window suite's main: the application object as the program makes it,
// under a locale that writes decimal commas when the system has one.

#include <QApplication>
#include <clocale>
#include <cstdlib>

#include "ui/AppIdentity.h"
#include "ui/UiTests.h"

namespace {

// A locale whose numbers would read "1,50", if the system has one.
void AskForACommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            setenv("LC_ALL", name, 1);
            break;
        }
    }
    std::setlocale(LC_ALL, "C");
}

}  // namespace

int main(int argc, char** argv) {
    AskForACommaLocale();
    QApplication application(argc, argv);
    orvalt::PrepareApplication();
    if (std::getenv("ORVALT_TEST_SCREEN") != nullptr) {
        return orvalt::testing::RunScreenFitTests(argc, argv) == 0 ? 0 : 1;
    }
    int failures = orvalt::testing::RunStartUpTests(argc, argv);
    failures += orvalt::testing::RunMainWindowTests(argc, argv);
    failures += orvalt::testing::RunPlotAndBannerTests(argc, argv);
    failures += orvalt::testing::RunWindowPlotTests(argc, argv);
    failures += orvalt::testing::RunRecordControlsTests(argc, argv);
    failures += orvalt::testing::RunShiftTests(argc, argv);
    failures += orvalt::testing::RunFixturePlacesTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
