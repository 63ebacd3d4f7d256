#include "spc/MeasuredSeries.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

// The model's runs the window picks, as conditions on `r` with their
// parameters from $2 on. A first or last N becomes a bound on the start (and
// the run's key among runs started at once) found beforehand, so every query
// walks the model's runs in start order from the index on (model,
// started_at, run_uuid) and needs no sort.
struct RunFilter {
    std::string sql;
    std::vector<SqlValue> params;

    std::string Next() const { return std::string("$").append(std::to_string(params.size() + 2)); }
    void Add(const std::string& condition, const std::vector<SqlValue>& values) {
        sql.append(" AND ").append(condition);
        params.insert(params.end(), values.begin(), values.end());
    }
};

// The start and key of the Nth run from the oldest (or the newest) the
// window's date lets through; none when there are fewer.
Result<std::optional<std::pair<std::string, std::string>>> NthRun(SqlConnection& connection,
                                                                  const std::string& model,
                                                                  const RunFilter& since,
                                                                  std::size_t n, bool newest) {
    const char* order = newest ? " ORDER BY r.started_at DESC, r.run_uuid DESC"
                               : " ORDER BY r.started_at, r.run_uuid";
    std::vector<SqlValue> params{model};
    params.insert(params.end(), since.params.begin(), since.params.end());
    params.emplace_back(static_cast<std::int64_t>(n - 1));
    const Result<SqlRows> rows =
        connection.Run(std::string("SELECT r.started_at, r.run_uuid FROM runs r WHERE r.model = $1")
                           .append(since.sql)
                           .append(order)
                           .append(" LIMIT 1 OFFSET ")
                           .append(since.Next()),
                       params);
    if (!rows) {
        return Fail(rows.Error());
    }
    if (rows->empty()) {
        return std::optional<std::pair<std::string, std::string>>();
    }
    return std::optional(std::make_pair(CellText((*rows)[0][0]), CellText((*rows)[0][1])));
}

// A station's runs are picked within the model's, from the index that walks
// them in start order.
void AddStation(RunFilter& filter, const std::optional<SeriesStation>& station) {
    if (station) {
        const std::string host = filter.Next();
        const std::string fixture =
            std::string("$").append(std::to_string(filter.params.size() + 3));
        filter.Add("r.host = " + host + " AND r.fixture = " + fixture,
                   {station->host, station->fixture});
    }
}

Result<RunFilter> FilterOf(SqlConnection& connection, const std::string& model,
                           const SeriesWindow& window, const std::optional<SeriesStation>& station) {
    RunFilter filter;
    AddStation(filter, station);
    if (window.since) {
        filter.Add(std::string("r.started_at >= ").append(filter.Next()), {*window.since});
    }
    const std::optional<std::size_t> count = window.last ? window.last : window.first;
    if (!count) {
        return filter;
    }
    if (*count == 0) {
        filter.sql += " AND 1 = 0";
        return filter;
    }
    const auto nth = NthRun(connection, model, filter, *count, window.last.has_value());
    if (!nth) {
        return Fail(nth.Error());
    }
    if (*nth) {
        const std::string start = filter.Next();
        const std::string key = std::string("$").append(std::to_string(filter.params.size() + 3));
        const char* beyond = window.last ? " >= " : " <= ";
        const char* before = window.last ? " < " : " > ";
        std::string condition = std::string("r.started_at").append(beyond).append(start);
        condition.append(" AND NOT (r.started_at = ")
            .append(start)
            .append(" AND r.run_uuid")
            .append(before)
            .append(key)
            .append(")");
        filter.Add(condition, {(*nth)->first, (*nth)->second});
    }
    return filter;
}

// A point counts when its test completed: a run whose tally says all its
// tests did needs no look at them one by one.
constexpr const char* kCompletedTest =
    " AND (r.tests_completed = r.tests_begun OR EXISTS (SELECT 1 FROM tests t"
    " WHERE t.run_id = m.run_id AND t.test_index = m.test_index AND t.ended_how = 'completed'))";

// One series' oldest points, found by walking the model's runs from the first
// on: the walk stops at the count. The count is written into the statement:
// a server then plans it once for every model and series, where a count as a
// parameter made it plan the statement anew each time, which took longer
// than the walk.
std::string FirstValuesSql(std::size_t count, bool ofStation) {
    return std::string(
               "SELECT m.value FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid"
               " JOIN measurements m ON m.run_id = k.run_id AND m.test_index = $2 AND m.name = $3"
               " WHERE r.model = $1")
        .append(ofStation ? " AND r.host = $4 AND r.fixture = $5" : "")
        .append(kCompletedTest)
        .append(" ORDER BY r.started_at, r.run_uuid LIMIT ")
        .append(std::to_string(count));
}

std::string RunsSql(const RunFilter& filter) {
    return std::string(
               "SELECT k.run_id, r.run_uuid, r.started_at, r.serial, r.attempt,"
               " CASE WHEN r.tests_completed = r.tests_begun THEN 1 ELSE 0 END,"
               " r.limits_sha256 FROM runs r"
               " JOIN run_keys k ON k.run_uuid = r.run_uuid WHERE r.model = $1")
        .append(filter.sql)
        .append(" ORDER BY r.started_at, r.run_uuid");
}

// The points, in the runs' order: run key, test, name (unless one was asked
// for), value.
std::string PointsSql(const RunFilter& filter, bool oneName) {
    return std::string("SELECT k.run_id, m.test_index, ")
        .append(oneName ? "m.value" : "m.name, m.value")
        .append(
            " FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid"
            " JOIN measurements m ON m.run_id = k.run_id")
        .append(oneName ? " AND m.name = " +
                              std::string("$").append(std::to_string(filter.params.size() + 2))
                        : std::string())
        .append(" WHERE r.model = $1")
        .append(filter.sql)
        .append(kCompletedTest)
        .append(" ORDER BY r.started_at, r.run_uuid");
}

// How a point's measurement was shown and bounded, as recorded with it.
struct ShownAs {
    std::string unit;
    int decimals = 2;
    std::optional<double> min, max;
};

Result<ShownAs> ShownAsOf(SqlConnection& connection, const MeasuredSeries& series,
                          const SeriesPoint& point) {
    const Result<SqlRows> rows = connection.Run(
        "SELECT unit, decimals, min_value, max_value FROM measurements"
        " WHERE run_id = $1 AND test_index = $2 AND name = $3",
        {point.run->key, static_cast<std::int64_t>(series.testIndex), series.measurement});
    if (!rows) {
        return Fail(rows.Error());
    }
    ShownAs shown;
    if (!rows->empty()) {
        const SqlRow& row = (*rows)[0];
        shown.unit = CellText(row[0]);
        shown.decimals = row[1] ? static_cast<int>(CellInteger(row[1])) : 2;
        shown.min = row[2] ? std::optional(CellNumber(row[2])) : std::nullopt;
        shown.max = row[3] ? std::optional(CellNumber(row[3])) : std::nullopt;
    }
    return shown;
}

// The series' unit and digits, from its newest point.
Result<void> AddUnitAndDigits(SqlConnection& connection, MeasuredSeries& series) {
    if (series.points.empty()) {
        return {};
    }
    const Result<ShownAs> shown = ShownAsOf(connection, series, series.points.back());
    if (!shown) {
        return Fail(shown.Error());
    }
    series.unit = shown->unit;
    series.decimals = shown->decimals;
    return {};
}

using Bounds = std::pair<std::optional<double>, std::optional<double>>;

// The series cut where other bounds judged its points, each piece with the
// unit and digits of its newest point, in the order of their first points.
// The bounds are looked up once for each limits its runs were judged by.
Result<std::vector<MeasuredSeries>> ByBounds(SqlConnection& connection, const MeasuredSeries& series) {
    std::map<std::string, std::size_t> newestOf;  // limits hash: its newest point
    for (std::size_t i = 0; i < series.points.size(); ++i) {
        newestOf[series.points[i].run->limitsSha256] = i;
    }
    std::map<std::string, ShownAs> shownOf;
    for (const auto& [limits, newest] : newestOf) {
        Result<ShownAs> shown = ShownAsOf(connection, series, series.points[newest]);
        if (!shown) {
            return Fail(shown.Error());
        }
        shownOf.emplace(limits, std::move(shown).Value());
    }
    std::vector<MeasuredSeries> pieces;
    std::map<Bounds, std::size_t> pieceOf;
    for (const SeriesPoint& point : series.points) {
        const ShownAs& shown = shownOf.at(point.run->limitsSha256);
        const auto [found, added] = pieceOf.emplace(Bounds{shown.min, shown.max}, pieces.size());
        if (added) {
            MeasuredSeries piece;
            piece.testIndex = series.testIndex;
            piece.measurement = series.measurement;
            piece.min = shown.min;
            piece.max = shown.max;
            pieces.push_back(std::move(piece));
        }
        MeasuredSeries& piece = pieces[found->second];
        piece.unit = shown.unit;
        piece.decimals = shown.decimals;
        piece.points.push_back(point);
    }
    return pieces;
}

struct RunsRead {
    std::vector<std::int64_t> keys;
    std::vector<std::shared_ptr<const SeriesRun>> runs;
    std::vector<char> allCompleted;  // by the run's tally
};

Result<RunsRead> ReadRuns(SqlConnection& connection, const std::string& model,
                          const RunFilter& filter) {
    std::vector<SqlValue> params{model};
    params.insert(params.end(), filter.params.begin(), filter.params.end());
    RunsRead read;
    const Result<void> done = connection.RunRowByRow(RunsSql(filter), params, [&read](SqlRow row) {
        read.keys.push_back(CellInteger(row[0]));
        auto run = std::make_shared<SeriesRun>();
        run->key = read.keys.back();
        run->runUuid = CellText(row[1]);
        run->startedAt = CellText(row[2]);
        run->serial = CellText(row[3]);
        if (row[4]) {
            run->attempt = CellInteger(row[4]);
        }
        run->limitsSha256 = CellText(row[6]);
        read.runs.push_back(std::move(run));
        read.allCompleted.push_back(CellInteger(row[5]) == 1 ? 1 : 0);
    });
    if (!done) {
        return Fail(done.Error());
    }
    return read;
}

using SeriesMap = std::map<std::pair<std::int64_t, std::string>, MeasuredSeries>;

// Points as a query gives them, one series after another as they change.
class SeriesSorter {
  public:
    explicit SeriesSorter(SeriesMap& series) : series_(series) {}

    MeasuredSeries& Of(std::int64_t test, const std::string& name) {
        if (current_ == nullptr || test != key_.first || name != key_.second) {
            key_ = {test, name};
            current_ = &series_[key_];
            current_->testIndex = static_cast<int>(test);
            current_->measurement = name;
        }
        return *current_;
    }

  private:
    SeriesMap& series_;
    std::pair<std::int64_t, std::string> key_;
    MeasuredSeries* current_ = nullptr;
};

// The points joined to the runs in start order: for a model whose runs are
// few among the keys they span.
Result<void> ReadPointsByRun(SqlConnection& connection, const SeriesQuery& query,
                             const RunFilter& filter, const RunsRead& runs, SeriesMap& series) {
    std::vector<SqlValue> params{query.model};
    params.insert(params.end(), filter.params.begin(), filter.params.end());
    const bool oneName = query.measurement.has_value();
    if (oneName) {
        params.emplace_back(*query.measurement);
    }
    SeriesSorter sorter(series);
    std::size_t run = 0;
    return connection.RunRowByRow(PointsSql(filter, oneName), params, [&](SqlRow row) {
        const std::int64_t runKey = CellInteger(row[0]);
        std::size_t at = run;
        while (at < runs.keys.size() && runs.keys[at] != runKey) {
            ++at;
        }
        if (at == runs.keys.size()) {
            return;  // a run recorded since the runs were read
        }
        run = at;
        MeasuredSeries& one = sorter.Of(CellInteger(row[1]), oneName ? *query.measurement : *row[2]);
        one.points.push_back({runs.runs[run], CellNumber(row[oneName ? 2 : 3])});
    });
}

// The tests of the runs whose tally says not all completed, that did not
// complete: (run key, test).
Result<std::set<std::pair<std::int64_t, std::int64_t>>> TestsNotCompleted(SqlConnection& connection,
                                                                          const RunsRead& runs,
                                                                          std::int64_t first,
                                                                          std::int64_t last) {
    std::set<std::pair<std::int64_t, std::int64_t>> tests;
    if (std::all_of(runs.allCompleted.begin(), runs.allCompleted.end(),
                    [](char all) { return all != 0; })) {
        return tests;
    }
    const Result<void> read = connection.RunRowByRow(
        "SELECT t.run_id, t.test_index FROM tests t WHERE t.run_id BETWEEN $1 AND $2"
        " AND (t.ended_how IS NULL OR t.ended_how <> 'completed')",
        {first, last},
        [&tests](SqlRow row) { tests.emplace(CellInteger(row[0]), CellInteger(row[1])); });
    if (!read) {
        return Fail(read.Error());
    }
    return tests;
}

// The points read straight along the measurements' index over the span of
// the runs' keys, each put in its run's place: for a model whose runs are
// most of the keys they span (a line testing one model at a time), where a
// walk run by run would seek twice for every run.
Result<void> ReadPointsBySpan(SqlConnection& connection, const SeriesQuery& query,
                              const RunsRead& runs, SeriesMap& series) {
    const auto [low, high] = std::minmax_element(runs.keys.begin(), runs.keys.end());
    const std::int64_t first = *low, last = *high;
    std::vector<std::int32_t> place(static_cast<std::size_t>(last - first + 1), -1);
    for (std::size_t i = 0; i < runs.keys.size(); ++i) {
        place[static_cast<std::size_t>(runs.keys[i] - first)] = static_cast<std::int32_t>(i);
    }
    const auto notCompleted = TestsNotCompleted(connection, runs, first, last);
    if (!notCompleted) {
        return Fail(notCompleted.Error());
    }
    const bool oneName = query.measurement.has_value();
    std::vector<SqlValue> params{first, last};
    if (oneName) {
        params.emplace_back(*query.measurement);
    }
    std::map<MeasuredSeries*, std::vector<std::pair<std::int32_t, double>>> placed;
    SeriesSorter sorter(series);
    std::vector<std::pair<std::int32_t, double>>* points = nullptr;
    MeasuredSeries* pointsOf = nullptr;
    const Result<void> read = connection.RunRowByRow(
        oneName ? "SELECT m.run_id, m.test_index, m.value FROM measurements m"
                  " WHERE m.run_id BETWEEN $1 AND $2 AND m.name = $3"
                : "SELECT m.run_id, m.test_index, m.name, m.value FROM measurements m"
                  " WHERE m.run_id BETWEEN $1 AND $2",
        params, [&](SqlRow row) {
            const std::int64_t runKey = CellInteger(row[0]);
            const std::int32_t at = place[static_cast<std::size_t>(runKey - first)];
            const std::int64_t test = CellInteger(row[1]);
            if (at < 0 || (!runs.allCompleted[static_cast<std::size_t>(at)] &&
                           notCompleted->count({runKey, test}) > 0)) {
                return;  // another model's, or a test that did not complete
            }
            MeasuredSeries& one = sorter.Of(test, oneName ? *query.measurement : *row[2]);
            if (&one != pointsOf) {
                pointsOf = &one;
                points = &placed[&one];
            }
            points->emplace_back(at, CellNumber(row[oneName ? 2 : 3]));
        });
    if (!read) {
        return Fail(read.Error());
    }
    for (auto& [one, byPlace] : placed) {
        if (!std::is_sorted(byPlace.begin(), byPlace.end())) {
            std::sort(byPlace.begin(), byPlace.end());
        }
        one->points.reserve(byPlace.size());
        for (const auto& [at, value] : byPlace) {
            one->points.push_back({runs.runs[static_cast<std::size_t>(at)], value});
        }
    }
    return {};
}

// How few of the keys their span holds the model's runs may be for the span
// to be read whole.
constexpr std::int64_t kSpanReadAtMost = 4;

}  // namespace

// The runs are read first, then their points with only their run's key: a
// million points carry no copies of their runs' texts, and the series' unit,
// digits and bounds come from the newest point of each limits alone.
Result<std::vector<MeasuredSeries>> LoadMeasuredSeries(SqlConnection& connection,
                                                 const SeriesQuery& query) {
    const Result<RunFilter> filter = FilterOf(connection, query.model, query.window, query.station);
    if (!filter) {
        return Fail(filter.Error());
    }
    Result<RunsRead> runs = ReadRuns(connection, query.model, *filter);
    if (!runs) {
        return Fail(runs.Error());
    }
    SeriesMap series;
    if (!runs->keys.empty()) {
        const auto [low, high] = std::minmax_element(runs->keys.begin(), runs->keys.end());
        const bool dense =
            (*high - *low + 1) <= kSpanReadAtMost * static_cast<std::int64_t>(runs->keys.size());
        const Result<void> read = dense
                                      ? ReadPointsBySpan(connection, query, *runs, series)
                                      : ReadPointsByRun(connection, query, *filter, *runs, series);
        if (!read) {
            return Fail(read.Error());
        }
    }
    std::vector<MeasuredSeries> all;
    all.reserve(series.size());
    for (auto& [seriesKey, one] : series) {
        if (query.pointsOnly) {
            all.push_back(std::move(one));
        } else if (query.wholeMeasurement) {
            if (const Result<void> shown = AddUnitAndDigits(connection, one); !shown) {
                return Fail(shown.Error());
            }
            all.push_back(std::move(one));
        } else {
            Result<std::vector<MeasuredSeries>> pieces = ByBounds(connection, one);
            if (!pieces) {
                return Fail(pieces.Error());
            }
            std::move(pieces->begin(), pieces->end(), std::back_inserter(all));
        }
    }
    return all;
}

Result<std::vector<double>> LoadFirstValues(SqlConnection& connection, const std::string& model,
                                            int testIndex, const std::string& measurement,
                                            std::size_t count,
                                            const std::optional<SeriesStation>& station) {
    std::vector<SqlValue> params{model, static_cast<std::int64_t>(testIndex), measurement};
    if (station) {
        params.insert(params.end(), {station->host, station->fixture});
    }
    std::vector<double> values;
    const Result<void> read =
        connection.RunRowByRow(FirstValuesSql(count, station.has_value()), params,
                               [&values](SqlRow row) { values.push_back(CellNumber(row[0])); });
    if (!read) {
        return Fail(read.Error());
    }
    return values;
}

Result<bool> ModelRecorded(SqlConnection& connection, const std::string& model) {
    const Result<SqlRows> any =
        connection.Run("SELECT 1 FROM runs WHERE model = $1 LIMIT 1", {model});
    if (!any) {
        return Fail(any.Error());
    }
    return !any->empty();
}

Result<std::vector<std::string>> MeasurementNamesOf(SqlConnection& connection,
                                                    const std::string& model) {
    const Result<SqlRows> rows = connection.Run(
        "SELECT DISTINCT m.name FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid"
        " JOIN tests t ON t.run_id = k.run_id AND t.ended_how = 'completed'"
        " JOIN measurements m ON m.run_id = k.run_id AND m.test_index = t.test_index"
        " WHERE r.model = $1 ORDER BY m.name",
        {model});
    if (!rows) {
        return Fail(rows.Error());
    }
    std::vector<std::string> names;
    for (const SqlRow& row : *rows) {
        names.push_back(CellText(row[0]));
    }
    return names;
}

std::string SeriesName(const MeasuredSeries& series, const std::vector<MeasuredSeries>& all) {
    bool otherTest = false, otherBounds = false;
    for (const MeasuredSeries& other : all) {
        if (other.measurement != series.measurement) {
            continue;
        }
        if (other.testIndex != series.testIndex) {
            otherTest = true;
        } else if (other.min != series.min || other.max != series.max) {
            otherBounds = true;
        }
    }
    std::string name = series.measurement;
    if (otherTest) {
        name.append(" of test ").append(std::to_string(series.testIndex + 1));
    }
    if (otherBounds) {
        name.append(", ").append(series.min || series.max ? SeriesLimitsText(series)
                                                          : std::string("no limits"));
    }
    return name;
}

std::string SeriesLimitsText(const MeasuredSeries& series) {
    if (!series.min && !series.max) {
        return "no limits recorded";
    }
    return std::string("limits ")
        .append(series.min ? ShownText(*series.min, series.decimals) : "-")
        .append(" .. ")
        .append(series.max ? ShownText(*series.max, series.decimals) : "-");
}

std::string PointLabel(const SeriesPoint& point) {
    if (!point.run || point.run->serial.empty()) {
        return "-";
    }
    std::string label = point.run->serial;
    if (point.run->attempt) {
        label.append(" #").append(std::to_string(*point.run->attempt));
    }
    return label;
}

}  // namespace orvalt
