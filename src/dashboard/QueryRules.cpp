#include "dashboard/QueryRules.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "domain/PrintableText.h"

namespace orvalt {

namespace {

Result<PageQuery> CheckedAgainst(const QueryParams& params,
                                 const std::vector<std::string_view>& allowed) {
    PageQuery query;
    for (const auto& [name, value] : params) {
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
            return Fail("no parameter " + PrintableText(name) + " here");
        }
        if (value.size() > kQueryValueMost) {
            return Fail(name + " is longer than " + std::to_string(kQueryValueMost) + " bytes");
        }
        if (!query.emplace(name, value).second) {
            return Fail(name + " is given more than once");
        }
    }
    return query;
}

}  // namespace

Result<PageQuery> CheckedQuery(const QueryParams& params,
                               std::initializer_list<std::string_view> allowed) {
    return CheckedAgainst(params, allowed);
}

Result<LivePageQuery> CheckedLivePageQuery(const QueryParams& params,
                                           std::initializer_list<std::string_view> allowed) {
    std::vector<std::string_view> names(allowed);
    names.push_back("part");
    Result<PageQuery> query = CheckedAgainst(params, names);
    if (!query) {
        return Fail(query.Error());
    }
    LivePageQuery live{std::move(query).Value(), false};
    const auto part = live.query.find("part");
    if (part != live.query.end()) {
        if (part->second != "main") {
            return Fail(std::string("part can only be main"));
        }
        live.partOnly = true;
        live.query.erase(part);
    }
    return live;
}

Result<std::size_t> RunCount(const PageQuery& query, std::string_view name, std::size_t byDefault,
                             std::size_t most) {
    const auto given = query.find(name);
    if (given == query.end()) {
        return byDefault;
    }
    const std::string& text = given->second;
    std::size_t count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || count < 1 ||
        count > most) {
        return Fail(std::string(name) + " must be a whole number from 1 to " +
                    std::to_string(most));
    }
    return count;
}

}  // namespace orvalt
