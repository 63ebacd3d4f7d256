#pragma once
// What the program tells where no box can be answered: on standard error, one
// report a line, each led by the program's name as a terminal or a session
// log shows it.

#include <string>

namespace orvalt {

void ReportOnStandardError(const std::string& text);

}  // namespace orvalt
