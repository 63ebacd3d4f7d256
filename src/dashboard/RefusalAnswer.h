#pragma once
// A whole HTTP answer as the front sends it where no page is asked: a status,
// the headers every answer carries, and a short plain text. The connection
// closes after it.

#include <httplib.h>

#include <string>
#include <string_view>

namespace orvalt {

std::string RefusalAnswer(int status, std::string_view text, const httplib::Headers& headers);

}  // namespace orvalt
