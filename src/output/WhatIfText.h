#pragma once
// What other limits would make of recorded runs, as the terminal shows it and
// as a self-contained HTML page.

#include <string>

#include "reading/WhatIf.h"

namespace orvalt {

// What the page and the text are about: the limits file and its hash, and
// which runs ("every run", or RunFilterText).
struct WhatIfSubject {
    std::string limitsName, limitsSha256, runs;
};

// "Under limits-fail.csv (SHA-256 ...): 46 ended runs (every run).", the
// yield before and after, the measurements whose outcomes move, then one line
// for each run whose unit verdict changes.
std::string WhatIfText(const WhatIf& whatIf, const WhatIfSubject& subject);

std::string WhatIfPageHtml(const WhatIf& whatIf, const WhatIfSubject& subject);

}  // namespace orvalt
