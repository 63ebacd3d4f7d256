#pragma once
// Each page of the dashboard as an answer to its request: the line from the
// feed's shared view, the others read through a borrowed connection. A page
// asked with ?part=main is its main part alone, for the page's script to swap
// in. A request's own fault is a 400 with a short plain reason; a database
// that can't be read is a 503 that says so.

#include <cstdint>
#include <optional>
#include <string>

#include "dashboard/ChangeFeed.h"
#include "dashboard/QueryRules.h"
#include "dashboard/ReadConnections.h"

namespace orvalt {

struct PageAnswer {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    // The generation the page shows, for the script (none: not a live page).
    std::optional<std::uint64_t> generation;
};

inline constexpr const char* kPlainText = "text/plain; charset=utf-8";

// A plain answer: a status and its reason.
PageAnswer PlainAnswer(int status, const std::string& text);

class DashboardPages {
  public:
    // `shownDatabase`: the database as ShownDatabase gives it.
    DashboardPages(ReadConnections& connections, const ChangeFeed& feed, std::string shownDatabase);

    PageAnswer Line(const QueryParams& params) const;
    PageAnswer Unit(const QueryParams& params) const;
    PageAnswer Model(const QueryParams& params) const;
    PageAnswer Models(const QueryParams& params) const;
    // The run's report exactly as orvalt-cli report writes it.
    PageAnswer Run(const std::string& uuid, const QueryParams& params) const;
    PageAnswer Health(const QueryParams& params) const;

  private:
    struct Live;
    PageAnswer Framed(const Live& live, const std::string& main) const;
    // Whether `read` ran, or there was nothing to read it from.
    enum class Reading { Done, NothingRecorded };
    template <class Read>
    Result<Reading> ReadRecords(Read read) const;
    template <class Read>
    PageAnswer FromRecords(const Live& live, Read read) const;

    ReadConnections& connections_;
    const ChangeFeed& feed_;
    std::string shownDatabase_;
};

}  // namespace orvalt
