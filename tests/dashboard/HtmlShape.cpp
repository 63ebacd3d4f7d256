#include "HtmlShape.h"

#include <cctype>

namespace orvalt::test {

namespace {

std::string Unescaped(const std::string& text) {
    static const std::pair<const char*, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&amp;", '&'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
                out += c;
                i += std::char_traits<char>::length(entity);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            out += text[i++];
        }
    }
    return out;
}

bool NameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':';
}

// The tag starting at `at` ('<'): its shape, and where it ends.
std::string TagShape(const std::string& html, std::size_t& at) {
    std::size_t i = at + 1;
    std::string shape = "<";
    if (html[i] == '/') {
        shape += '/';
        ++i;
    }
    while (i < html.size() && NameChar(html[i])) {
        shape += html[i++];
    }
    while (i < html.size() && html[i] != '>') {
        if (html[i] == '"') {  // a quoted value: skipped whole
            i = html.find('"', i + 1);
            i = i == std::string::npos ? html.size() : i + 1;
            continue;
        }
        if (NameChar(html[i])) {
            std::string name;
            while (i < html.size() && NameChar(html[i])) {
                name += html[i++];
            }
            shape += " " + name;
            continue;
        }
        ++i;
    }
    at = i;
    return shape + ">";
}

}  // namespace

std::vector<std::string> HtmlShape(const std::string& html) {
    std::vector<std::string> shape;
    for (std::size_t i = html.find('<'); i != std::string::npos; i = html.find('<', i)) {
        if (html.compare(i, 9, "<!DOCTYPE") == 0) {
            ++i;
            continue;
        }
        shape.push_back(TagShape(html, i));
    }
    return shape;
}

std::string AttributeValue(const std::string& html, const std::string& attribute,
                           std::size_t from) {
    const std::string opening = " " + attribute + "=\"";
    const std::size_t start = html.find(opening, from);
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t first = start + opening.size();
    return Unescaped(html.substr(first, html.find('"', first) - first));
}

std::string TextOf(const std::string& html, const std::string& marker, std::size_t from) {
    const std::size_t at = html.find(marker, from);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t first = html.find('>', at) + 1;
    return Unescaped(html.substr(first, html.find('<', first) - first));
}

}  // namespace orvalt::test
