#include "dashboard/DashboardPages.h"

#include <chrono>

#include "domain/PrintableText.h"
#include "output/LinePage.h"
#include "output/ModelPages.h"
#include "output/PageFrame.h"
#include "output/RunReport.h"
#include "output/SpcPage.h"
#include "output/UnitPage.h"
#include "platform/UtcTime.h"
#include "reading/History.h"
#include "reading/RunLoad.h"
#include "records/RecordsToRead.h"
#include "spc/MeasuredSeries.h"

namespace orvalt {

namespace {

// How long a page waits for a free connection before it says the database
// is busy.
constexpr std::chrono::seconds kConnectionWait{10};

// The page's own failure, a database that can't be read, as its answer.
PageAnswer Unreadable(const std::string& why) {
    return PlainAnswer(
        503, "The results database can't be read: " + PrintableText(why, kMessageShownMax));
}

bool Answers(SqlConnection& connection) {
    return connection.Run("SELECT 1").Ok();
}

}  // namespace

PageAnswer PlainAnswer(int status, const std::string& text) {
    return PageAnswer{status, kPlainText, text + "\n", std::nullopt};
}

// What a live page is asked and shown with.
struct DashboardPages::Live {
    PageFrame frame;
    bool partOnly = false;
};

DashboardPages::DashboardPages(ReadConnections& connections, const ChangeFeed& feed,
                               std::string shownDatabase)
    : connections_(connections), feed_(feed), shownDatabase_(std::move(shownDatabase)) {}

PageAnswer DashboardPages::Framed(const Live& live, const std::string& main) const {
    PageAnswer answer;
    answer.generation = live.frame.generation;
    answer.body = live.partOnly ? main : FramedPage(live.frame, main);
    return answer;
}

// `read(connection)` on a borrowed connection. A connection that lay idle
// may have lost a database that restarted since: when it fails, `read` runs
// once more on a fresh one before the failure is the page's.
template <class Read>
Result<DashboardPages::Reading> DashboardPages::ReadRecords(Read read) const {
    for (int attempt = 0;; ++attempt) {
        Result<ReadConnections::Lease> lease = connections_.Borrow(kConnectionWait);
        if (!lease) {
            return Fail(lease.Error());
        }
        if (lease->Connection() == nullptr) {
            return Reading::NothingRecorded;
        }
        const Result<void> done = read(*lease->Connection());
        if (done) {
            return Reading::Done;
        }
        lease->Drop();
        if (lease->Fresh() || attempt > 0) {
            return Fail(done.Error());
        }
    }
}

// `read(connection, main, status)` fills the main part and may set the
// status (a 404), or fails for the database's state.
template <class Read>
PageAnswer DashboardPages::FromRecords(const Live& live, Read read) const {
    std::string main;
    int status = 200;
    const Result<Reading> reading = ReadRecords([&](SqlConnection& connection) {
        main.clear();
        status = 200;
        return read(connection, main, status);
    });
    if (!reading) {
        return Unreadable(reading.Error());
    }
    if (*reading == Reading::NothingRecorded) {
        return Framed(live, NothingRecordedMain());
    }
    PageAnswer answer = Framed(live, main);
    answer.status = status;
    return answer;
}

PageAnswer DashboardPages::Line(const QueryParams& params) const {
    const Result<LivePageQuery> asked = CheckedLivePageQuery(params, {});
    if (!asked) {
        return PlainAnswer(400, asked.Error());
    }
    const LineState state = feed_.State();
    const Live live{{"Line", shownDatabase_, state.generation, state.away, "", LinePageStyle(),
                     state.replacedAt},
                    asked->partOnly};
    return Framed(live, state.view ? LinePageMain(*state.view) : NothingRecordedMain());
}

PageAnswer DashboardPages::Unit(const QueryParams& params) const {
    const Result<LivePageQuery> asked = CheckedLivePageQuery(params, {"serial"});
    if (!asked) {
        return PlainAnswer(400, asked.Error());
    }
    const auto given = asked->query.find("serial");
    const std::string serial = given == asked->query.end() ? std::string() : given->second;
    const LineState state = feed_.State();
    const Live live{{"Unit " + serial, shownDatabase_, state.generation, state.away, serial, "",
                     state.replacedAt},
                    asked->partOnly};
    if (serial.empty()) {
        return Framed(live, UnitPageMain(serial, {}));
    }
    return FromRecords(live, [&serial](SqlConnection& connection, std::string& main, int&) {
        std::vector<HistoryRow> runs;
        HistoryFilter filter;
        filter.serial = serial;
        const Result<void> read =
            EachHistoryRow(connection, filter, static_cast<std::int64_t>(kUnitRunsShown),
                           [&runs](const HistoryRow& row) { runs.push_back(row); });
        if (!read) {
            return read;
        }
        main = UnitPageMain(serial, runs);
        return Result<void>();
    });
}

PageAnswer DashboardPages::Model(const QueryParams& params) const {
    const Result<LivePageQuery> asked = CheckedLivePageQuery(params, {"name", "last"});
    if (!asked) {
        return PlainAnswer(400, asked.Error());
    }
    const auto name = asked->query.find("name");
    if (name == asked->query.end()) {
        return PlainAnswer(400, "name is needed: the model to show");
    }
    const Result<std::size_t> last =
        RunCount(asked->query, "last", kModelRunsByDefault, kModelRunsMost);
    if (!last) {
        return PlainAnswer(400, last.Error());
    }
    const std::string& model = name->second;
    const LineState state = feed_.State();
    const Live live{{"Model " + model, shownDatabase_, state.generation, state.away, "",
                     SpcChartsStyle(), state.replacedAt},
                    asked->partOnly};
    return FromRecords(live, [&](SqlConnection& connection, std::string& main, int& status) {
        const Result<bool> recorded = ModelRecorded(connection, model);
        if (!recorded) {
            return Result<void>(Fail(recorded.Error()));
        }
        if (!*recorded) {
            status = 404;
            main = ModelWithoutChartsMain(model, *last, "No run of this model is recorded.");
            return Result<void>();
        }
        SeriesQuery drift;
        drift.model = model;
        drift.window.last = *last;
        const Result<std::vector<JudgedSeries>> all = LoadSpc(connection, drift, {});
        if (all) {
            main = ModelPageMain(model, *last, *all);
        } else if (Answers(connection)) {
            main = ModelWithoutChartsMain(model, *last, all.Error());
        } else {
            return Result<void>(Fail(all.Error()));
        }
        return Result<void>();
    });
}

PageAnswer DashboardPages::Models(const QueryParams& params) const {
    const Result<LivePageQuery> asked = CheckedLivePageQuery(params, {});
    if (!asked) {
        return PlainAnswer(400, asked.Error());
    }
    const LineState state = feed_.State();
    const Live live{
        {"Models", shownDatabase_, state.generation, state.away, "", "", state.replacedAt},
        asked->partOnly};
    return FromRecords(live, [](SqlConnection& connection, std::string& main, int&) {
        const auto since =
            std::chrono::system_clock::now() - std::chrono::days(kModelsLookBackDays);
        const Result<std::vector<YieldRow>> models =
            QueryYield(connection, YieldGrouping::Model, UtcIsoTime(since));
        if (!models) {
            return Result<void>(Fail(models.Error()));
        }
        main = ModelsPageMain(*models);
        return Result<void>();
    });
}

PageAnswer DashboardPages::Run(const std::string& uuid, const QueryParams& params) const {
    if (!params.empty()) {
        return PlainAnswer(400, "a run's report takes no parameters");
    }
    if (uuid.empty() || uuid.size() > kQueryValueMost) {
        return PlainAnswer(400, "no such run identifier");
    }
    std::optional<LoadedRun> loaded;
    const Result<Reading> reading = ReadRecords([&](SqlConnection& connection) {
        Result<std::optional<LoadedRun>> run = LoadRun(connection, uuid);
        if (!run) {
            return Result<void>(Fail(run.Error()));
        }
        loaded = std::move(run).Value();
        return Result<void>();
    });
    if (!reading) {
        return Unreadable(reading.Error());
    }
    if (*reading == Reading::NothingRecorded) {
        return PlainAnswer(404, std::string(kNoRunRecorded));
    }
    if (!loaded) {
        return PlainAnswer(404, "No run " + PrintableText(uuid) + " is recorded.");
    }
    PageAnswer answer;
    answer.body = RunReportHtml(*loaded);
    return answer;
}

PageAnswer DashboardPages::Health(const QueryParams& params) const {
    if (!params.empty()) {
        return PlainAnswer(400, "health takes no parameters");
    }
    return PageAnswer{200, kPlainText, "ok " + std::to_string(feed_.State().generation) + "\n",
                      std::nullopt};
}

}  // namespace orvalt
