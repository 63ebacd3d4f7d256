#pragma once
// The pages' one script, served as /dashboard.js (the pages' security policy
// runs no inline script). It keeps a page live: on each change the server
// announces on /events it fetches the page's main part again (?part=main)
// and swaps it in, it shows the lost-connection banner while the stream is
// down and refreshes once it is back, it counts the elapsed times up from
// their data-since, and shows the records' times in the viewer's time zone.

#include <string_view>

namespace orvalt {

std::string_view DashboardScript();

}  // namespace orvalt
