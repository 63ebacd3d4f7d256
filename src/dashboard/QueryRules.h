#pragma once
// What a page accepts in its query string: only the parameters it names,
// each once, none longer than 256 bytes. Anything else is the request's own
// fault, answered 400 with the reason.

#include <cstddef>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/Result.h"

namespace orvalt {

inline constexpr std::size_t kQueryValueMost = 256;

// The query as the HTTP library decoded it, a name to each value.
using QueryParams = std::multimap<std::string, std::string>;
using PageQuery = std::map<std::string, std::string, std::less<>>;

Result<PageQuery> CheckedQuery(const QueryParams& params,
                               std::initializer_list<std::string_view> allowed);

// A live page's query: its own parameters, and ?part=main for the main part
// alone (any other part is refused).
struct LivePageQuery {
    PageQuery query;
    bool partOnly = false;
};
Result<LivePageQuery> CheckedLivePageQuery(const QueryParams& params,
                                           std::initializer_list<std::string_view> allowed);

// A count of runs from 1 to `most`; `byDefault` when the parameter is absent.
Result<std::size_t> RunCount(const PageQuery& query, std::string_view name, std::size_t byDefault,
                             std::size_t most);

}  // namespace orvalt
