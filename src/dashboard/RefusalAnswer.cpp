#include "dashboard/RefusalAnswer.h"

namespace orvalt {

namespace {

std::string_view ReasonPhrase(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 408:
            return "Request Timeout";
        case 411:
            return "Length Required";
        case 413:
            return "Payload Too Large";
        case 414:
            return "URI Too Long";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Error";
    }
}

}  // namespace

std::string RefusalAnswer(int status, std::string_view text, const httplib::Headers& headers) {
    std::string answer = "HTTP/1.1 " + std::to_string(status) + " ";
    answer.append(ReasonPhrase(status)).append("\r\n");
    for (const auto& [name, value] : headers) {
        answer.append(name).append(": ").append(value).append("\r\n");
    }
    if (status == 503) {
        answer.append("Retry-After: 5\r\n");
    }
    answer.append("Content-Type: text/plain; charset=utf-8\r\n");
    answer.append("Content-Length: " + std::to_string(text.size()) + "\r\n");
    answer.append("Connection: close\r\n\r\n").append(text);
    return answer;
}

}  // namespace orvalt
