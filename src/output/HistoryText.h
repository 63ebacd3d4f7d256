#pragma once
// A run of the history as the terminal shows it: one line.

#include <string>

#include "reading/History.h"

namespace orvalt {

// Two spaces between the fields, the serial with its attempt, the verdict
// after how the run ended ("not judged" without limits; a run not ended yet is
// "-  IN PROGRESS"), the fixture last ("-" for a station without fixtures):
// "2026-12-07T12:50:21.123Z  3f2a...  X100  SN123 #2  3/3 tests  completed  PASS  plan.csv
// host/op  Bay 1"
std::string HistoryLine(const HistoryRow& row);

}  // namespace orvalt
