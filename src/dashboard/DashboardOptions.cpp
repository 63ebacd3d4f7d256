#include "dashboard/DashboardOptions.h"

#include <CLI/CLI.hpp>
#include <charconv>

#include "dashboard/DashboardExit.h"
#include "domain/DatabaseUrl.h"
#include "domain/PrintableText.h"
#include "station/ProgramVersion.h"

namespace orvalt {

namespace {

constexpr const char* kDescription =
    "orvalt-dashboard serves the line at a glance as web pages: each station and fixture, "
    "today's yield, why units failed, the open drift alarms, a unit's attempts and a model's "
    "control charts, read from the results database, which it never writes. Open pages follow "
    "the records as stations write them.\n";

constexpr int kMaxNotSeenMinutes = 24 * 60;

// A URL's refusal never repeats the URL: it may hold a password.
std::string DatabaseRefusal(const std::string& text) {
    if (text.empty()) {
        return "no database named";
    }
    if (!LooksLikeUrl(text)) {
        return {};
    }
    const Result<ServerUrl> url = ParseServerUrl(text);
    return url ? std::string() : url.Error();
}

std::string ListenRefusal(const std::string& text) {
    std::string host;
    int port = 0;
    return ReadListenAddress(text, host, port)
               ? std::string()
               : PrintableText(text) + " is no ADDRESS:PORT (such as 127.0.0.1:8080; port 0: any)";
}

std::string MinutesRefusal(const std::string& text) {
    int minutes = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), minutes);
    const bool whole = error == std::errc() && end == text.data() + text.size();
    return whole && minutes >= 1 && minutes <= kMaxNotSeenMinutes
               ? std::string()
               : PrintableText(text) + " is not a whole number of minutes from 1 to 1440";
}

std::optional<int> PortNumber(const std::string& text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 0 ||
        port > 65535) {
        return std::nullopt;
    }
    return port;
}

struct Parsed {
    DashboardOptions options;
    std::string listen;
    bool version = false;
};

void AddOptions(CLI::App& app, Parsed& parsed) {
    DashboardOptions& o = parsed.options;
    app.add_option("--db", o.db, "the results database: a SQLite file or a postgresql:// URL")
        ->type_name("URL")
        ->check(CLI::Validator(DatabaseRefusal, ""));
    app.add_option("--listen", parsed.listen,
                   "where to serve (default 127.0.0.1:8080; port 0: any free port)")
        ->type_name("ADDRESS:PORT")
        ->check(CLI::Validator(ListenRefusal, ""));
    app.add_flag("--allow-writer", o.allowWriter,
                 "serve even when the login may write to the records");
    app.add_option("--not-seen-minutes", o.notSeenMinutes,
                   "a fixture unheard of this long is shown as not seen (default 10)")
        ->type_name("N")
        ->check(CLI::Validator(MinutesRefusal, ""));
    app.add_flag("--version", parsed.version, "show the version and end");
}

// A refusal names the option and never repeats a value that may hold a
// password (the validators see to that).
std::string ParseErrorText(const CLI::App& app, const CLI::ParseError& error) {
    const std::string what = error.what();
    if (dynamic_cast<const CLI::ValidationError*>(&error)) {
        return "bad value for " + what;
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
        for (const CLI::Option* option : app.get_options()) {
            if (what.starts_with(option->get_name() + ":")) {
                return option->get_name() + " needs a value";
            }
        }
    }
    return PrintableText(what, kMessageShownMax);
}

}  // namespace

bool ReadListenAddress(const std::string& text, std::string& host, int& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    std::string address = text.substr(0, colon);
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
        address = address.substr(1, address.size() - 2);
    } else if (address.find(':') != std::string::npos) {
        return false;  // an IPv6 address is written in brackets
    }
    const std::optional<int> number = PortNumber(text.substr(colon + 1));
    if (address.empty() || !number) {
        return false;
    }
    host = address;
    port = *number;
    return true;
}

std::string ServedUrl(const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string("http://")
        .append(v6 ? "[" + host + "]" : host)
        .append(":")
        .append(std::to_string(port))
        .append("/");
}

DashboardParse ParseDashboardOptions(const std::vector<std::string>& args) {
    CLI::App app(kDescription, "orvalt-dashboard");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    Parsed parsed;
    AddOptions(app, parsed);
    app.footer(DashboardExitTable());
    DashboardParse result;
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        result.helpRequested = true;
        result.help = app.help();
        return result;
    } catch (const CLI::ParseError& error) {
        result.error = ParseErrorText(app, error);
        return result;
    }
    if (parsed.version) {
        result.versionRequested = true;
        return result;
    }
    if (parsed.options.db.empty()) {
        result.error = "--db URL is needed: the results database to show";
        return result;
    }
    if (!parsed.listen.empty()) {
        ReadListenAddress(parsed.listen, parsed.options.host, parsed.options.port);
    }
    result.options = parsed.options;
    return result;
}

std::optional<int> AnswerWithoutServing(const DashboardParse& parsed, std::ostream& out,
                                        std::ostream& err) {
    if (parsed.helpRequested) {
        out << parsed.help;
        return kDashboardStopped;
    }
    if (parsed.versionRequested) {
        out << kVersionText << '\n';
        return kDashboardStopped;
    }
    if (parsed.options) {
        return std::nullopt;
    }
    err << "orvalt-dashboard: " << parsed.error << '\n'
        << "orvalt-dashboard --help shows the options and the exit statuses.\n";
    return kDashboardUsage;
}

}  // namespace orvalt
