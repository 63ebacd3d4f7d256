#include "ui/StandardErrorReport.h"

#include <iostream>

namespace orvalt {

void ReportOnStandardError(const std::string& text) {
    std::cerr << "orvalt: " << text << std::endl;
}

}  // namespace orvalt
