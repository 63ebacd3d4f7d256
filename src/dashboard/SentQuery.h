#pragma once
// A request's query as it was sent, each parameter decoded as httplib decodes
// it but kept however often it comes: httplib keeps a name given twice with
// the same value once, which would let `?part=main&part=main` through where
// `?serial=a&serial=b` is refused.

#include <string>

#include "dashboard/QueryRules.h"

namespace orvalt {

QueryParams SentQuery(const std::string& target);

}  // namespace orvalt
