#pragma once
// The line page's main part, drawn from the line as the records tell it: a
// card per station and fixture, today's yield per model, a Pareto of today's
// failure reasons and the open drift alarms. A pure function of the view, so
// that one view read once serves every page.

#include <string>

#include "lineview/LineView.h"

namespace orvalt {

std::string LinePageMain(const LineView& view);

// What the line page says while nothing is recorded (no file, no schema yet).
std::string NothingRecordedMain();

// True when the two views draw the same page at one moment: the view read
// again with nothing new in it need not be pushed to every page.
bool SameLinePage(const LineView& shown, const LineView& fresh);

// The word a card's data-state holds: "testing", "idle", "not-seen".
const char* FixtureStateWord(FixtureState state);

// The line page's style rules.
const std::string& LinePageStyle();

}  // namespace orvalt
