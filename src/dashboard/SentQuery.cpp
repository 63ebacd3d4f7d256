#include "dashboard/SentQuery.h"

#include <httplib.h>

namespace orvalt {

QueryParams SentQuery(const std::string& target) {
    // The query is the target's second part as httplib splits it.
    std::string query;
    int part = 0;
    httplib::detail::split(target.data(), target.data() + target.size(), '?',
                           [&](const char* begin, const char* end) {
                               if (part++ == 1) {
                                   query.assign(begin, end);
                               }
                           });
    QueryParams params;
    httplib::detail::split(query.data(), query.data() + query.size(), '&',
                           [&](const char* begin, const char* end) {
                               httplib::Params one;
                               httplib::detail::parse_query_text(std::string(begin, end), one);
                               params.insert(one.begin(), one.end());
                           });
    return params;
}

}  // namespace orvalt
