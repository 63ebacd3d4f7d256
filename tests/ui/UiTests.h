#pragma once
// The Qt Test objects of the suite, each run by the suite's main.

namespace orvalt::testing {

int RunMainWindowTests(int argc, char** argv);
int RunStartUpTests(int argc, char** argv);
int RunPlotAndBannerTests(int argc, char** argv);
int RunWindowPlotTests(int argc, char** argv);
int RunRecordControlsTests(int argc, char** argv);
int RunShiftTests(int argc, char** argv);
int RunFixturePlacesTests(int argc, char** argv);
// Only these run when the suite is started for one screen size.
int RunScreenFitTests(int argc, char** argv);

}  // namespace orvalt::testing
