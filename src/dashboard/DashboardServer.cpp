#include "dashboard/DashboardServer.h"

#include <memory>

#include "dashboard/AnsweringStream.h"
#include "dashboard/DashboardExit.h"
#include "dashboard/DashboardOptions.h"
#include "dashboard/DashboardScript.h"
#include "dashboard/EventStream.h"
#include "dashboard/LineClock.h"
#include "dashboard/PageBudget.h"
#include "dashboard/RefusalAnswer.h"
#include "dashboard/SentQuery.h"
#include "dashboard/WriterCheck.h"
#include "domain/DatabaseUrl.h"
#include "domain/PrintableText.h"
#include "output/LinePage.h"
#include "platform/ListeningSocket.h"
#include "records/RecordsFile.h"
#include "records/RecordsToRead.h"

namespace orvalt {

namespace {

// Requests waiting for a thread, per budget, beyond those being answered.
constexpr std::size_t kStreamsWaiting = 64;
constexpr std::size_t kLightWaiting = 256;
constexpr std::size_t kHeavyWaiting = 32;
// Threads of the streams' budget beyond the streams themselves: they answer
// a page over the limit its 503 at once.
constexpr std::size_t kSpareStreamThreads = 4;
// Stopping, what is being answered is given this long to end by itself.
constexpr std::chrono::milliseconds kStopGrace{250};

// Nothing is loaded from anywhere but the dashboard itself, and its one
// script is its own file.
httplib::Headers SafetyHeaders() {
    return {{"Content-Security-Policy",
             "default-src 'none'; img-src 'self' data:; style-src 'unsafe-inline'; "
             "script-src 'self'; connect-src 'self'"},
            {"X-Content-Type-Options", "nosniff"},
            {"X-Frame-Options", "DENY"},
            {"Referrer-Policy", "no-referrer"},
            {"Cache-Control", "no-store"}};
}

// Every page is sent whole: a cache must never keep a part as the page.
httplib::Headers AnswerHeaders() {
    httplib::Headers headers = SafetyHeaders();
    headers.emplace("Accept-Ranges", "none");
    return headers;
}

ChangeFeedReading FeedReading(const DashboardSettings& settings, const std::string& shown,
                              ReadConnections& connections) {
    ChangeFeedReading reading;
    reading.open = [database = settings.database] { return OpenRecordsToRead(database); };
    if (!LooksLikeUrl(settings.database)) {
        reading.fileMark = [file = settings.database] { return MarkOfRecordsFile(file); };
        reading.replaced = [&connections] { connections.LetAllGo(); };
    }
    reading.moment = [notSeen = settings.notSeenAfter] {
        return LineMomentAt(std::chrono::system_clock::now(), notSeen);
    };
    reading.samePage = SameLinePage;
    reading.poll = settings.poll;
    reading.readSpacing = 2 * settings.poll;
    reading.alarmJudging = settings.alarmJudging;
    reading.shown = shown;
    return reading;
}

// What the answer to a status without a body of its own says.
std::string StatusText(int status) {
    switch (status) {
        case 400:
            return "Bad request.";
        case 404:
            return "No such page.";
        case 405:
            return "Only GET and HEAD are answered.";
        case 408:
            return "The request did not arrive in time.";
        case 411:
            return "A request body must say its length.";
        case 413:
            return "The request is too large.";
        case 414:
            return "The address is too long.";
        case 431:
            return "The request's headers are too large.";
        case 503:
            return "The dashboard is busy; ask again in a moment.";
        default:
            return "The request can't be answered (" + std::to_string(status) + ").";
    }
}

// The last chunk of an event stream. httplib writes it from a static of its
// own that the first stream to end initialises: tests/tsan.supp says why the
// sanitizer is told to let that pass here alone.
void EndChunkedAnswer(httplib::DataSink& sink) {
    sink.done();
}

}  // namespace

DashboardServer::DashboardServer(DashboardSettings settings, DashboardLog& log)
    : settings_(std::move(settings)),
      shown_(ShownDatabase(settings_.database)),
      log_(log),
      connections_([database = settings_.database] { return OpenRecordsToRead(database); },
                   settings_.readConnections),
      feed_(FeedReading(settings_, shown_, connections_), log_),
      pages_(connections_, feed_, shown_) {}

DashboardServer::~DashboardServer() {
    Stop();
}

int DashboardServer::Start() {
    if (const Result<void> first = feed_.ReadFirst(); !first) {
        return Unreadable(first.Error());
    }
    if (!settings_.allowWriter) {
        const Result<std::vector<std::string>> writes = WritesOfLogin(settings_.database);
        if (!writes) {
            return Unreadable(writes.Error());
        }
        if (!writes->empty()) {
            log_.Say(WriterRefusal(shown_, *writes));
            return kDashboardWriter;
        }
    }
    AddRoutes();
    if (const int status = Listen(); status != 0) {
        return status;
    }
    feed_.Start();
    log_.Say("serving " + shown_ + " on " + ServedUrl(settings_.host, port_));
    return 0;
}

int DashboardServer::Unreadable(const std::string& why) {
    log_.Say("the results database " + shown_ +
             " can't be read: " + PrintableText(why, kMessageShownMax));
    return kDashboardUnreadable;
}

int DashboardServer::Listen() {
    // httplib's own options would let a second server share the port.
    http_.set_socket_options([](socket_t socket) { ReuseAddressOnly(socket); });
    port_ = settings_.port;
    const bool bound = port_ == 0 ? (port_ = http_.bind_to_any_port(settings_.host)) > 0
                                  : http_.bind_to_port(settings_.host, port_);
    if (!bound) {
        log_.Say("can't listen on " + ServedUrl(PrintableText(settings_.host), settings_.port) +
                 ": the port is taken, or the address is not one of this machine's");
        return kDashboardNoListen;
    }
    http_.WidenListenQueue();
    StartWorkers();
    front_ = std::make_unique<HttpFront>(
        http_.ListeningSocket(), settings_.front,
        [this](HandedRequest request, std::string_view target) {
            return Route(std::move(request), target);
        },
        [this](int status) { return Refusal(status); });
    if (!front_->Start()) {
        log_.Say("can't listen on " + ServedUrl(PrintableText(settings_.host), port_) +
                 ": the system gives no more descriptors");
        return kDashboardNoListen;
    }
    return 0;
}

// Each request is answered on its own connection, which closes after it.
void DashboardServer::StartWorkers() {
    const auto answerWith = [this](WriteLimits limits) {
        return [this, limits](HandedRequest& request) {
            AnsweringStream stream(*request.connection, std::move(request.head), limits);
            http_.AnswerRequest(stream);
            request.connection->EndWrites();
        };
    };
    const WriteLimits page;
    const WriteLimits stream{page.stall, std::nullopt};
    streamWorkers_ = std::make_unique<RequestWorkers>(settings_.streams + kSpareStreamThreads,
                                                      kStreamsWaiting, answerWith(stream));
    lightWorkers_ =
        std::make_unique<RequestWorkers>(settings_.pageThreads, kLightWaiting, answerWith(page));
    heavyWorkers_ =
        std::make_unique<RequestWorkers>(settings_.heavyThreads, kHeavyWaiting, answerWith(page));
}

std::optional<HandedRequest> DashboardServer::Route(HandedRequest request,
                                                    std::string_view target) {
    switch (PageBudgetOf(target)) {
        case PageBudget::Streams:
            return streamWorkers_->Hand(std::move(request));
        case PageBudget::Light:
            return lightWorkers_->Hand(std::move(request));
        case PageBudget::Heavy:
            break;
    }
    return heavyWorkers_->Hand(std::move(request));
}

std::string DashboardServer::Refusal(int status) const {
    return RefusalAnswer(status, StatusText(status) + "\n", AnswerHeaders());
}

void DashboardServer::Stop() {
    if (front_) {
        front_->Stop();  // nothing new arrives; requests not whole are dropped
    }
    feed_.Stop();  // ends every stream at its next wake
    http_.CloseListening();
    const auto graceUntil = std::chrono::steady_clock::now() + kStopGrace;
    for (const auto& workers : {&streamWorkers_, &lightWorkers_, &heavyWorkers_}) {
        if (*workers) {
            (*workers)->Stop(graceUntil);
        }
    }
}

void DashboardServer::Answer(httplib::Response& response, const PageAnswer& answer) const {
    response.status = answer.status;
    if (answer.generation) {
        response.set_header("X-Generation", std::to_string(*answer.generation));
    }
    response.set_content(answer.body, answer.contentType);
}

void DashboardServer::AddRoutes() {
    using httplib::Request, httplib::Response;
    http_.set_default_headers(AnswerHeaders());
    http_.set_pre_routing_handler([](const Request& request, Response& response) {
        if (request.method == "GET" || request.method == "HEAD") {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        response.status = 405;
        response.set_header("Allow", "GET, HEAD");
        response.set_content(StatusText(405) + "\n", kPlainText);
        return httplib::Server::HandlerResponse::Handled;
    });
    http_.set_error_handler(
        httplib::Server::HandlerWithResponse([](const Request&, Response& response) {
            if (!response.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.set_content(StatusText(response.status) + "\n", kPlainText);
            return httplib::Server::HandlerResponse::Handled;
        }));
    http_.set_exception_handler(
        [this](const Request& request, Response& response, std::exception_ptr thrown) {
            std::string what = "an unknown exception";
            try {
                std::rethrow_exception(thrown);
            } catch (const std::exception& error) {
                what = error.what();
            } catch (...) {
            }
            log_.Say("the page " + PrintableText(request.path) +
                     " failed: " + PrintableText(what, kMessageShownMax));
            response.status = 500;
            response.set_content("The page failed; the dashboard's log says why.\n", kPlainText);
        });
    http_.Get("/", [this](const Request& request, Response& response) {
        Answer(response, pages_.Line(SentQuery(request.target)));
    });
    http_.Get("/unit", [this](const Request& request, Response& response) {
        Answer(response, pages_.Unit(SentQuery(request.target)));
    });
    http_.Get("/model", [this](const Request& request, Response& response) {
        Answer(response, pages_.Model(SentQuery(request.target)));
    });
    http_.Get("/models", [this](const Request& request, Response& response) {
        Answer(response, pages_.Models(SentQuery(request.target)));
    });
    http_.Get(R"(/run/([^/]*))", [this](const Request& request, Response& response) {
        Answer(response, pages_.Run(request.matches[1].str(), SentQuery(request.target)));
    });
    http_.Get("/health", [this](const Request& request, Response& response) {
        Answer(response, pages_.Health(SentQuery(request.target)));
    });
    http_.Get("/events", [this](const Request& request, Response& response) {
        ServeEvents(request, response);
    });
    http_.Get("/dashboard.js", [](const Request& request, Response& response) {
        if (!request.params.empty()) {
            response.status = 400;
            response.set_content("the script takes no parameters\n", kPlainText);
            return;
        }
        const std::string_view script = DashboardScript();
        response.set_content(script.data(), script.size(), "text/javascript; charset=utf-8");
    });
}

void DashboardServer::ServeEvents(const httplib::Request& request, httplib::Response& response) {
    // Only a stream asked as /events is on the streams' threads.
    if (PageBudgetOf(request.target) != PageBudget::Streams) {
        Answer(response, PlainAnswer(400, "the event stream is asked for as /events"));
        return;
    }
    if (!request.params.empty()) {
        Answer(response, PlainAnswer(400, "the event stream takes no parameters"));
        return;
    }
    std::unique_ptr<StreamPlace> place = StreamPlace::Take(openStreams_, settings_.streams);
    if (!place) {
        response.set_header("Retry-After", "5");
        Answer(response, PlainAnswer(503,
                                     "Too many pages are open at once; this one asks again "
                                     "in a moment."));
        return;
    }
    auto stream = std::make_shared<EventStream>(feed_, std::move(place), settings_.keepAlive);
    response.set_chunked_content_provider(
        "text/event-stream", [stream](std::size_t, httplib::DataSink& sink) {
            if (!sink.is_writable()) {
                return false;  // the page went away
            }
            const EventStream::Step step = stream->Next();
            if (!step.text.empty() && !sink.write(step.text.data(), step.text.size())) {
                return false;
            }
            if (step.end) {
                EndChunkedAnswer(sink);
            }
            return true;
        });
}

}  // namespace orvalt
