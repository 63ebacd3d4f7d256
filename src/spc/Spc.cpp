#include "spc/Spc.h"

#include <algorithm>

#include "domain/Joined.h"
#include "domain/PrintableText.h"

namespace orvalt {

namespace {

// Why a query found no series: the model has no runs, the figure is not one
// of its own, or the window holds no completed test.
std::string NothingFound(SqlConnection& connection, const SeriesQuery& query) {
    const Result<bool> recorded = ModelRecorded(connection, query.model);
    if (recorded && !*recorded) {
        return std::string("No run of model \"")
            .append(PrintableText(query.model))
            .append("\" is recorded.");
    }
    if (query.measurement) {
        const Result<std::vector<std::string>> names = MeasurementNamesOf(connection, query.model);
        if (names && std::find(names->begin(), names->end(), *query.measurement) == names->end()) {
            return std::string("Model \"")
                .append(PrintableText(query.model))
                .append("\" has no measurement \"")
                .append(PrintableText(*query.measurement))
                .append("\"; its measurements: ")
                .append(names->empty() ? std::string("none")
                                       : PrintableText(Joined(*names, ", "), kMessageShownMax))
                .append(".");
        }
    }
    return std::string("No completed test of model \"")
        .append(PrintableText(query.model))
        .append("\" in the runs picked.");
}

Result<std::vector<MeasuredSeries>> SeriesFound(SqlConnection& connection, const SeriesQuery& query) {
    Result<std::vector<MeasuredSeries>> loaded = LoadMeasuredSeries(connection, query);
    if (!loaded) {
        return Fail(loaded.Error());
    }
    if (loaded->empty()) {
        return Fail(NothingFound(connection, query));
    }
    return loaded;
}

}  // namespace

Result<std::optional<Baseline>> FirstUnitsBaseline(SqlConnection& connection,
                                                   const std::string& model,
                                                   const MeasuredSeries& series,
                                                   const std::optional<SeriesStation>& station) {
    const Result<std::vector<double>> first = LoadFirstValues(
        connection, model, series.testIndex, series.measurement, kBaselineUnits, station);
    if (!first) {
        return Fail(first.Error());
    }
    return BaselineOf(*first, Resolution{series.decimals});
}

Result<JudgedSeries> JudgeSeries(SqlConnection& connection, const std::string& model,
                              MeasuredSeries series, std::string name, const FrozenLookup& frozen) {
    if (frozen) {
        if (const std::optional<FrozenBaseline> kept =
                frozen(series.testIndex, series.measurement)) {
            return JudgeSeriesAgainst(std::move(series), std::move(name),
                                      Baseline{kept->centre, kept->sigma, kept->units},
                                      kept->frozenAt);
        }
    }
    const Result<std::optional<Baseline>> firstUnits =
        FirstUnitsBaseline(connection, model, series);
    if (!firstUnits) {
        return Fail(firstUnits.Error());
    }
    return JudgeSeriesAgainst(std::move(series), std::move(name), *firstUnits);
}

Result<std::vector<JudgedSeries>> LoadSpc(SqlConnection& connection, const SeriesQuery& query,
                                       const FrozenLookup& frozen) {
    Result<std::vector<MeasuredSeries>> found = SeriesFound(connection, query);
    if (!found) {
        return Fail(found.Error());
    }
    std::vector<std::string> names;
    for (const MeasuredSeries& series : *found) {
        names.push_back(SeriesName(series, *found));  // before any series moves out
    }
    std::vector<JudgedSeries> all;
    for (std::size_t i = 0; i < names.size(); ++i) {
        Result<JudgedSeries> judged = JudgeSeries(connection, query.model, std::move((*found)[i]),
                                               std::move(names[i]), frozen);
        if (!judged) {
            return Fail(judged.Error());
        }
        all.push_back(std::move(judged).Value());
    }
    return all;
}

Result<std::vector<SeriesBaseline>> BaselinesToFreeze(SqlConnection& connection,
                                                      const SeriesQuery& query,
                                                      const std::string& frozenAt,
                                                      std::vector<std::string>& tooShort) {
    // A baseline is the measurement's, whatever limits judged its units.
    SeriesQuery whole = query;
    whole.wholeMeasurement = true;
    Result<std::vector<MeasuredSeries>> found = SeriesFound(connection, whole);
    if (!found) {
        return Fail(found.Error());
    }
    std::vector<SeriesBaseline> baselines;
    for (const MeasuredSeries& series : *found) {
        const std::optional<Baseline> baseline =
            BaselineOf(ValuesOf(series), Resolution{series.decimals});
        if (!baseline) {
            tooShort.push_back(SeriesName(series, *found));
            continue;
        }
        baselines.push_back({series.testIndex,
                             series.measurement,
                             {baseline->centre, baseline->sigma, baseline->units, frozenAt}});
    }
    return baselines;
}

}  // namespace orvalt
