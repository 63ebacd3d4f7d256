#include "reading/RunFilter.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "domain/PrintableText.h"
#include "domain/VerdictWord.h"

namespace orvalt {

namespace {

constexpr std::string_view kNoVerdict = "none";

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The day after a valid YYYY-MM-DD.
std::string DayAfter(const std::string& day) {
    using namespace std::chrono;
    const year_month_day date{year{std::stoi(day.substr(0, 4))},
                              month{static_cast<unsigned>(std::stoi(day.substr(5, 2)))},
                              std::chrono::day{static_cast<unsigned>(std::stoi(day.substr(8, 2)))}};
    const year_month_day next{sys_days{date} + days{1}};
    char text[24];  // room for any year the type holds
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(next.year()),
                  static_cast<unsigned>(next.month()), static_cast<unsigned>(next.day()));
    return text;
}

class Conditions {
  public:
    Conditions(std::vector<SqlValue>& params, std::string_view alias, std::size_t before)
        : params_(params), alias_(alias), before_(before) {}

    // " AND r.column <op> $n" with `value` as $n.
    void Add(std::string_view column, std::string_view op, std::string value) {
        sql_.append(" AND ").append(alias_).append(".").append(column).append(" ").append(op);
        sql_.append(" ").append(Next(std::move(value)));
    }
    void AddPrefix(std::string_view column, std::string prefix) {
        const std::string column_ = std::string(alias_).append(".").append(column);
        const std::string param = Next(std::move(prefix));
        sql_.append(" AND substr(")
            .append(column_)
            .append(", 1, length(")
            .append(param)
            .append(")) = ")
            .append(param);
    }
    void AddEmpty(std::string_view column) {
        const std::string column_ = std::string(alias_).append(".").append(column);
        sql_.append(" AND (")
            .append(column_)
            .append(" IS NULL OR ")
            .append(column_)
            .append(" = '')");
    }
    std::string Sql() && { return std::move(sql_); }

  private:
    std::string Next(std::string value) {
        params_.emplace_back(std::move(value));
        return std::string("CAST($") + std::to_string(before_ + params_.size()) + " AS TEXT)";
    }

    std::vector<SqlValue>& params_;
    std::string_view alias_;
    std::size_t before_;
    std::string sql_;
};

}  // namespace

bool IsIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (const std::size_t digit : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[digit] < '0' || text[digit] > '9') {
            return false;
        }
    }
    const auto number = [&](std::size_t first, std::size_t count) {
        return std::stoi(text.substr(first, count));
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) {
        return false;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return !(month == 2 && day == 29 && !leap);
}

std::string RunFilterSql(const RunFilter& filter, std::vector<SqlValue>& params,
                         std::string_view alias, std::size_t before) {
    Conditions where(params, alias, before);
    if (filter.since) {
        where.Add("started_at", ">=", *filter.since);
    }
    if (filter.until) {
        if (IsIsoDate(*filter.until)) {
            where.Add("started_at", "<", DayAfter(*filter.until));
        } else {
            where.Add("started_at", "<=", *filter.until);
        }
    }
    const std::pair<const std::optional<std::string>*, std::string_view> exact[] = {
        {&filter.model, "model"},
        {&filter.lot, "lot"},
        {&filter.station, "host"},
        {&filter.fixture, "fixture"}};
    for (const auto& [value, column] : exact) {
        if (*value) {
            where.Add(column, "=", **value);
        }
    }
    if (filter.serial) {
        where.Add("serial", "=", *filter.serial);
    }
    if (filter.serialStart) {
        where.AddPrefix("serial", *filter.serialStart);
    }
    if (filter.verdict) {
        if (Upper(*filter.verdict) == Upper(std::string(kNoVerdict))) {
            where.AddEmpty("verdict");
        } else {
            where.Add("verdict", "=", Upper(*filter.verdict));
        }
    }
    return std::move(where).Sql();
}

std::string RunFilterDayProblem(const std::string& text) {
    return IsIsoDate(text)
               ? std::string()
               : std::string("expected a date YYYY-MM-DD, got \"") + PrintableText(text) + "\"";
}

std::string RunFilterVerdictProblem(const std::string& text) {
    if (VerdictKindFromWord(Upper(text)) || Upper(text) == Upper(std::string(kNoVerdict))) {
        return {};
    }
    return std::string("expected PASS, FAIL, ERROR, \"NOT JUDGED\" or none, got \"") +
           PrintableText(text) + "\"";
}

void SetSerialAsTyped(RunFilter& filter, const std::string& typed) {
    if (!typed.empty() && typed.back() == '*') {
        filter.serialStart = typed.substr(0, typed.size() - 1);
    } else {
        filter.serial = typed;
    }
}

std::string RunFilterText(const RunFilter& filter) {
    std::vector<std::string> parts;
    const auto add = [&parts](const char* name, const std::optional<std::string>& value) {
        if (value) {
            parts.push_back(std::string(name) + " " + (value->empty() ? "\"\"" : *value));
        }
    };
    add("model", filter.model);
    add("lot", filter.lot);
    add("station", filter.station);
    add("fixture", filter.fixture);
    add("serial", filter.serial);
    if (filter.serialStart) {
        parts.push_back(std::string("serial ") + *filter.serialStart + "*");
    }
    add("verdict", filter.verdict);
    add("since", filter.since);
    add("until", filter.until);
    if (parts.empty()) {
        return "every run";
    }
    std::string text = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        text += std::string(", ") + parts[i];
    }
    return text;
}

}  // namespace orvalt
