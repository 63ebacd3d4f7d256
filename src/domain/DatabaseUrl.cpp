#include "domain/DatabaseUrl.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "domain/HexDigit.h"
#include "domain/Joined.h"
#include "domain/PrintableText.h"

namespace orvalt {

namespace {

constexpr std::string_view kSchemes[] = {"postgresql://", "postgres://"};
constexpr std::string_view kNamedBy[] = {"postgresql", "postgres"};
constexpr std::string_view kSecretKeys[] = {"password", "sslpassword"};
constexpr std::string_view kFormHint = ": write postgresql://USER@HOST:PORT/DATABASE";

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

bool IsSchemeCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

// The scheme before the first ':' when the text starts with one; else empty.
std::string_view SchemeOf(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return {};
    const std::string_view scheme = text.substr(0, colon);
    return std::all_of(scheme.begin(), scheme.end(), IsSchemeCharacter) ? scheme
                                                                        : std::string_view{};
}

bool NamesPostgres(std::string_view text) {
    const std::string lowered = Lowered(text.substr(0, kNamedBy[0].size() + 2));
    return std::any_of(std::begin(kNamedBy), std::end(kNamedBy), [&](std::string_view word) {
        const std::string_view rest =
            std::string_view(lowered).substr(std::min(word.size(), lowered.size()));
        return lowered.starts_with(word) && (rest.starts_with(':') || rest.starts_with("//"));
    });
}

// Why a text that looks like a URL has no valid scheme part.
std::string SchemeProblem(std::string_view text) {
    const std::string scheme = PrintableText(SchemeOf(text));
    const std::string lowered = Lowered(scheme);
    const bool postgres = lowered == kNamedBy[0] || lowered == kNamedBy[1];
    if (postgres && scheme != lowered)
        return "the scheme \"" + scheme + ":\" must be written in lower case" +
               std::string(kFormHint);
    if (postgres)
        return "\"" + scheme + ":\" must be followed by //" + std::string(kFormHint);
    if (!scheme.empty())
        return "\"" + scheme +
               ":\" is no results server; a SQLite file is named by its path, a server" +
               std::string(kFormHint);
    return "the scheme needs its colon" + std::string(kFormHint);
}

Result<std::string> Decoded(std::string_view text, std::string_view what) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            return Fail("the " + std::string(what) +
                        " holds a % that is not followed by two hexadecimal digits");
        if (high == 0 && low == 0)
            return Fail("the " + std::string(what) + " holds %00, which no server accepts");
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

struct HostPort {
    std::string_view host, port;
};

Result<HostPort> SplitHostPort(std::string_view item) {
    HostPort split{item, {}};
    if (item.starts_with('[')) {
        const std::size_t close = item.find(']');
        if (close == std::string_view::npos)
            return Fail(std::string("a host in [ ] misses its ]"));
        split.host = item.substr(1, close - 1);
        const std::string_view after = item.substr(close + 1);
        if (!after.empty() && !after.starts_with(':'))
            return Fail(std::string("a host in [ ] may only be followed by :PORT"));
        split.port = after.empty() ? after : after.substr(1);
    } else if (const std::size_t colon = item.rfind(':'); colon != std::string_view::npos) {
        split.host = item.substr(0, colon);
        split.port = item.substr(colon + 1);
    }
    if (!std::all_of(split.port.begin(), split.port.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return Fail(std::string("a port is not a number"));
    return split;
}

// The URL's parts as they are written, before decoding.
struct UrlParts {
    std::size_t schemeEnd = 0;  // just after "://"
    std::optional<std::size_t> at;
    std::optional<std::size_t> passwordColon;
    std::size_t authorityEnd = 0;
    std::optional<std::size_t> query;  // the '?'
};

UrlParts LocateParts(std::string_view text, std::size_t schemeEnd) {
    UrlParts parts;
    parts.schemeEnd = schemeEnd;
    parts.authorityEnd = std::min(text.find_first_of("/?", schemeEnd), text.size());
    const std::string_view authority = text.substr(schemeEnd, parts.authorityEnd - schemeEnd);
    // A password may hold '@' unencoded: the user part ends at the last one.
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        parts.at = schemeEnd + at;
        if (const std::size_t colon = authority.substr(0, at).find(':');
            colon != std::string_view::npos)
            parts.passwordColon = schemeEnd + colon;
    }
    if (const std::size_t q = text.find('?', parts.authorityEnd); q != std::string_view::npos)
        parts.query = q;
    return parts;
}

bool IsSecretKey(std::string_view key) {
    return std::find(std::begin(kSecretKeys), std::end(kSecretKeys), key) != std::end(kSecretKeys);
}

class UrlReader {
  public:
    UrlReader(std::string_view text, UrlParts parts) : text_(text), parts_(parts) {}

    Result<ServerUrl> Read() {
        for (auto step : {&UrlReader::ReadUser, &UrlReader::ReadHosts, &UrlReader::ReadDatabase,
                          &UrlReader::ReadQuery}) {
            if (Result<void> done = (this->*step)(); !done)
                return Fail("not a valid postgresql:// URL: " + done.Error());
        }
        url_.shown = Shown();
        url_.identity = Identity();
        return std::move(url_);
    }

  private:
    Result<void> Add(std::string key, std::string_view raw, std::string_view what) {
        Result<std::string> value = Decoded(raw, what);
        if (!value)
            return Fail(value.Error());
        if (!value->empty() || IsSecretKey(key))
            url_.keywords.emplace_back(std::move(key), std::move(value).Value());
        return {};
    }

    Result<void> ReadUser() {
        if (!parts_.at)
            return {};
        const std::size_t userEnd = parts_.passwordColon.value_or(*parts_.at);
        if (Result<void> user = Add("user", Between(parts_.schemeEnd, userEnd), "user name"); !user)
            return user;
        if (!parts_.passwordColon)
            return {};
        url_.secrets.emplace_back(*parts_.passwordColon, *parts_.at);
        return Add("password", Between(*parts_.passwordColon + 1, *parts_.at), "password");
    }

    Result<void> ReadHosts() {
        const std::size_t first = parts_.at ? *parts_.at + 1 : parts_.schemeEnd;
        std::string_view list = Between(first, parts_.authorityEnd);
        std::string hosts, ports;
        for (bool more = !list.empty(); more;) {
            const std::size_t comma = list.find(',');
            const Result<HostPort> item = SplitHostPort(list.substr(0, comma));
            if (!item)
                return Fail(item.Error());
            const Result<std::string> host = Decoded(item->host, "host");
            if (!host)
                return Fail(host.Error());
            hosts += *host;
            ports += std::string(item->port);
            more = comma != std::string_view::npos;
            if (more) {
                hosts += ',';
                ports += ',';
                list.remove_prefix(comma + 1);
            }
        }
        if (hosts.find_first_not_of(',') != std::string::npos)
            url_.keywords.emplace_back("host", hosts);
        if (ports.find_first_not_of(',') != std::string::npos)
            url_.keywords.emplace_back("port", ports);
        return {};
    }

    Result<void> ReadDatabase() {
        if (parts_.authorityEnd >= text_.size() || text_[parts_.authorityEnd] != '/')
            return {};
        return Add("dbname", Between(parts_.authorityEnd + 1, parts_.query.value_or(text_.size())),
                   "database name");
    }

    Result<void> ReadQuery() {
        if (!parts_.query)
            return {};
        std::size_t at = *parts_.query + 1;
        while (at < text_.size()) {
            const std::size_t end = std::min(text_.find('&', at), text_.size());
            const std::string_view pair = Between(at, end);
            const std::size_t equals = pair.find('=');
            if (equals == std::string_view::npos || equals == 0)
                return Fail(std::string("each query parameter must read key=value"));
            const Result<std::string> key = Decoded(pair.substr(0, equals), "query");
            if (!key)
                return Fail(key.Error());
            if (IsSecretKey(*key))
                url_.secrets.emplace_back(at, end);
            else
                keptPairs_.push_back(pair);
            if (Result<void> added = Add(*key, pair.substr(equals + 1), "query"); !added)
                return added;
            at = end + 1;
        }
        return {};
    }

    std::string_view Between(std::size_t first, std::size_t end) const {
        return text_.substr(first, end - first);
    }

    // The URL up to its query without the user's password, then the query's
    // pairs but those that hold a password.
    std::string Shown() const {
        const std::size_t queryStart = parts_.query.value_or(text_.size());
        std::string shown(Between(0, queryStart));
        if (parts_.passwordColon)
            shown.erase(*parts_.passwordColon, *parts_.at - *parts_.passwordColon);
        if (!keptPairs_.empty()) {
            shown += '?';
            shown += Joined(keptPairs_, "&");
        }
        return shown;
    }

    std::string Last(std::string_view key) const {
        std::string value;
        for (const auto& [name, text] : url_.keywords)
            if (name == key)
                value = text;
        return value;
    }

    std::string Identity() const {
        return std::string(kSchemes[0]) + Last("user") + "@" + Last("host") + ":" + Last("port") +
               "/" + Last("dbname");
    }

    std::string_view text_;
    UrlParts parts_;
    ServerUrl url_;
    std::vector<std::string_view> keptPairs_;
};

}  // namespace

bool LooksLikeUrl(std::string_view text) {
    const std::string_view scheme = SchemeOf(text);
    const bool schemeAndSlash = !scheme.empty() && text.substr(scheme.size() + 1).starts_with('/');
    return schemeAndSlash || NamesPostgres(text);
}

Result<ServerUrl> ParseServerUrl(std::string_view text) {
    for (std::string_view scheme : kSchemes) {
        if (text.starts_with(scheme))
            return UrlReader(text, LocateParts(text, scheme.size())).Read();
    }
    return Fail("not a valid postgresql:// URL: " + SchemeProblem(text));
}

std::string ShownDatabase(std::string_view text) {
    if (!LooksLikeUrl(text))
        return std::string(text);
    if (const Result<ServerUrl> url = ParseServerUrl(text))
        return url->shown;
    const std::string_view scheme = SchemeOf(text);
    return (scheme.empty() ? std::string("postgres") : PrintableText(scheme) + ":") + "...";
}

bool HoldsPassword(std::string_view text) {
    const Result<ServerUrl> url = ParseServerUrl(text);
    return url && !url->secrets.empty();
}

void MaskPasswordsInPlace(std::span<char> text) {
    const std::string_view whole(text.data(), text.size());
    const std::size_t start = whole.find("postgres");
    if (start == std::string_view::npos)
        return;
    const Result<ServerUrl> url = ParseServerUrl(whole.substr(start));
    if (!url)
        return;
    for (const auto& [first, end] : url->secrets)
        std::fill(text.begin() + static_cast<std::ptrdiff_t>(start + first),
                  text.begin() + static_cast<std::ptrdiff_t>(start + end), '*');
}

void MaskPasswordsInArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        MaskPasswordsInPlace(std::span<char>(argv[i], std::strlen(argv[i])));
    }
}

}  // namespace orvalt
