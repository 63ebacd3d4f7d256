#include "spc/Spc.h"

#include <algorithm>

#include "domain/Joined.h"
#include "domain/PrintableText.h"

namespace orvalt {

namespace {

// Why a query found no series: the model has no runs, the figure is not one
// of its own, or the window holds no completed test.
std::string NothingFound(SqlConnection& connection, const DriftQuery& query) {
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

Result<std::vector<DriftSeries>> SeriesFound(SqlConnection& connection, const DriftQuery& query) {
    Result<std::vector<DriftSeries>> loaded = LoadDriftSeries(connection, query);
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
                                                   const DriftSeries& series,
                                                   const std::optional<DriftStation>& station) {
    const Result<std::vector<double>> first = LoadFirstValues(
        connection, model, series.testIndex, series.measurement, kBaselineUnits, station);
    if (!first) {
        return Fail(first.Error());
    }
    return BaselineOf(*first, Resolution{series.decimals});
}

Result<SpcSeries> JudgeSeries(SqlConnection& connection, const std::string& model,
                              DriftSeries series, std::string name, const FrozenLookup& frozen) {
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

Result<std::vector<SpcSeries>> LoadSpc(SqlConnection& connection, const DriftQuery& query,
                                       const FrozenLookup& frozen) {
    Result<std::vector<DriftSeries>> found = SeriesFound(connection, query);
    if (!found) {
        return Fail(found.Error());
    }
    std::vector<std::string> names;
    for (const DriftSeries& series : *found) {
        names.push_back(SeriesName(series, *found));  // before any series moves out
    }
    std::vector<SpcSeries> all;
    for (std::size_t i = 0; i < names.size(); ++i) {
        Result<SpcSeries> judged = JudgeSeries(connection, query.model, std::move((*found)[i]),
                                               std::move(names[i]), frozen);
        if (!judged) {
            return Fail(judged.Error());
        }
        all.push_back(std::move(judged).Value());
    }
    return all;
}

Result<std::vector<SeriesBaseline>> BaselinesToFreeze(SqlConnection& connection,
                                                      const DriftQuery& query,
                                                      const std::string& frozenAt,
                                                      std::vector<std::string>& tooShort) {
    // A baseline is the measurement's, whatever limits judged its units.
    DriftQuery whole = query;
    whole.wholeMeasurement = true;
    Result<std::vector<DriftSeries>> found = SeriesFound(connection, whole);
    if (!found) {
        return Fail(found.Error());
    }
    std::vector<SeriesBaseline> baselines;
    for (const DriftSeries& series : *found) {
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
