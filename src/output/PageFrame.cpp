#include "output/PageFrame.h"

#include "output/HtmlEscaped.h"
#include "output/HtmlParts.h"
#include "output/PageStyle.h"

namespace orvalt {

namespace {

const std::string& FrameStyle() {
    static const std::string style =
        WithVerdictColours(
            "body{font-family:sans-serif;margin:0;color:#222;background:#f6f7f9}"
            "header{display:flex;flex-wrap:wrap;gap:16px;align-items:center;padding:8px 24px;"
            "background:#263238;color:#fff}header a{color:#fff;font-weight:bold;"
            "text-decoration:none}header .db{color:#b0bec5;font-size:13px;flex:1}"
            "header input{width:14em}main{padding:8px 24px 24px}h1{font-size:22px}"
            "h2{font-size:18px;margin-top:24px}"
            "#connection,#database-away,#database-replaced{padding:8px 24px;background:$fail;"
            "color:#fff;font-weight:bold}#database-away,#database-replaced{background:$error}") +
        TableRules(";background:#fff") +
        WithVerdictColours(
            "td.num{text-align:right}.note{color:#555;font-size:13px}"
            ".verdict-PASS{color:$pass;font-weight:bold}.verdict-FAIL,.verdict-ERROR"
            "{color:$fail;font-weight:bold}");
    return style;
}

std::string Head(const PageFrame& frame) {
    return std::string("<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">")
        .append("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">")
        .append("<title>")
        .append(HtmlEscaped(frame.title))
        .append(" - Orvalt</title><style>")
        .append(FrameStyle())
        .append(frame.style)
        .append("</style><script src=\"/dashboard.js\" defer></script></head>");
}

std::string Header(const PageFrame& frame) {
    return std::string("<header><a href=\"/\">Line</a><a href=\"/models\">Models</a>")
        .append("<span class=\"db\">")
        .append(HtmlEscaped(frame.database))
        .append("</span><form action=\"/unit\" method=\"get\" role=\"search\">")
        .append("<input name=\"serial\" placeholder=\"Serial number\" aria-label=\"Serial number\"")
        .append(" maxlength=\"256\" value=\"")
        .append(HtmlEscaped(frame.serial))
        .append("\"> <button>Find</button></form></header>");
}

// Hidden until the file is found replaced; the script then fills in when.
std::string ReplacedBanner(const std::string& replacedAt) {
    return std::string("<div id=\"database-replaced\"")
        .append(replacedAt.empty() ? " hidden" : "")
        .append(">")
        .append(kDatabaseReplacedText)
        .append(TimeElement(replacedAt))
        .append(kDatabaseReplacedAfter)
        .append("</div>");
}

}  // namespace

std::string FramedPage(const PageFrame& frame, const std::string& main) {
    return Head(frame)
        .append("<body data-generation=\"")
        .append(std::to_string(frame.generation))
        .append("\">")
        .append(Header(frame))
        .append("<div id=\"connection\" hidden>")
        .append(kLostConnectionText)
        .append("</div><div id=\"database-away\"")
        .append(frame.away ? "" : " hidden")
        .append(">")
        .append(kDatabaseAwayText)
        .append("</div>")
        .append(ReplacedBanner(frame.replacedAt))
        .append("<main id=\"page\">")
        .append(main)
        .append("</main></body></html>");
}

}  // namespace orvalt
