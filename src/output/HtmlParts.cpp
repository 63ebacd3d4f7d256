#include "output/HtmlParts.h"

#include <cstdio>

#include "output/HtmlEscaped.h"

namespace orvalt {

namespace {

bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string PercentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (Unreserved(byte)) {
            encoded += c;
        } else {
            encoded.append({'%', kHex[byte >> 4], kHex[byte & 0xF]});
        }
    }
    return encoded;
}

std::string UnitUrl(const std::string& serial) {
    return "/unit?serial=" + PercentEncoded(serial);
}

std::string ModelUrl(const std::string& model) {
    return "/model?name=" + PercentEncoded(model);
}

std::string RunUrl(const std::string& uuid) {
    return "/run/" + PercentEncoded(uuid);
}

std::string Link(const std::string& url, const std::string& text) {
    return std::string("<a href=\"")
        .append(HtmlEscaped(url))
        .append("\">")
        .append(HtmlEscaped(text))
        .append("</a>");
}

std::string ModelLink(const std::string& model) {
    return Link(ModelUrl(model), model.empty() ? "(no model)" : model);
}

std::string Cell(const std::string& text, const char* look) {
    std::string cell =
        look ? std::string("<td class=\"").append(look).append("\">") : std::string("<td>");
    return cell.append(HtmlEscaped(text)).append("</td>");
}

std::string HeadCell(const std::string& text) {
    return "<th>" + HtmlEscaped(text) + "</th>";
}

std::string UtcText(const std::string& iso) {
    if (iso.size() >= 19 && iso[10] == 'T') {
        return iso.substr(0, 10) + " " + iso.substr(11, 8) + " UTC";
    }
    return iso;
}

std::string TimeElement(const std::string& iso, TimeForm form) {
    return std::string("<time datetime=\"")
        .append(HtmlEscaped(iso))
        .append(form == TimeForm::Clock ? "\" data-form=\"clock\">" : "\">")
        .append(HtmlEscaped(UtcText(iso)))
        .append("</time>");
}

std::string Percent(std::int64_t part, std::int64_t whole) {
    if (whole <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%",
                  100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

}  // namespace orvalt
