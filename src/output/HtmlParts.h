#pragma once
// The small pieces every page is built of. Every text that comes from the
// records goes through here or through HtmlEscaped, in elements and in
// attributes alike.

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalt {

// Bytes of a query value or a path segment other than letters, digits and
// "-._~" as %XX.
std::string PercentEncoded(std::string_view text);

// The pages of a unit, a model and a run.
std::string UnitUrl(const std::string& serial);
std::string ModelUrl(const std::string& model);
std::string RunUrl(const std::string& uuid);

// <a href="URL">TEXT</a>, both escaped.
std::string Link(const std::string& url, const std::string& text);
// The model's name leading to its charts; "(no model)" for runs recorded
// without one.
std::string ModelLink(const std::string& model);
// <td>TEXT</td> escaped, or <td class="LOOK">.
std::string Cell(const std::string& text, const char* look = nullptr);
// <th>TEXT</th> escaped.
std::string HeadCell(const std::string& text);
// A time from the records (UTC, ISO 8601) as <time datetime="..."> with the
// text "2026-12-07 12:50:21 UTC"; the page's script shows it in the
// viewer's time zone, with the zone: "12/7/2026, 1:50:21 PM UTC+1".
// TimeForm::Clock asks the script for the short form, "13:50 UTC+1" (the
// date only when it is not the server's today).
enum class TimeForm { Full, Clock };
std::string TimeElement(const std::string& iso, TimeForm form = TimeForm::Full);
// That time's text alone, for a page without the script: "2026-12-07
// 12:50:21 UTC"; a text of another form as it stands.
std::string UtcText(const std::string& iso);
// A share as a percentage with one decimal ("95.0 %"); "-" out of nothing.
std::string Percent(std::int64_t part, std::int64_t whole);

}  // namespace orvalt
