#pragma once
// One request as it arrives, byte by byte, before any thread is spent on
// it: whole once its head ("\r\n\r\n") and the body it declared are in,
// refused (with the status to answer) as soon as it breaks a limit. It never
// holds more than the head's limit: a body is counted and dropped, as no page
// reads one. The head handed on keeps the request line and headers but for
// Range, If-Range and Expect: every page is answered whole, and the body is
// in already.

#include <cstddef>
#include <string>
#include <string_view>

namespace orvalt {

struct RequestLimits {
    std::size_t headBytes = 16 * 1024;  // the request line and the headers
    std::size_t headLines = 100;        // header lines, the request line not counted
    std::size_t bodyBytes = 16 * 1024;
};

class IncomingRequest {
  public:
    explicit IncomingRequest(RequestLimits limits = {}) : limits_(limits) {}

    enum class State { Reading, Whole, Refused };
    // Takes the bytes that arrived; bytes after a whole request are dropped.
    State Take(std::string_view bytes);
    State Current() const { return state_; }
    // Refused: 400 (a request line or header that can't be read), 411 (a
    // body without a length), 413 (a body too long), 414 (a request line too
    // long), 431 (too many or too long headers).
    int RefusalStatus() const { return refusal_; }
    // Whether the client waits to be told to send its body: once per request.
    bool TakeContinueDue();

    // Once the request line is in: the target as sent.
    std::string_view Target() const { return target_; }
    // Whole: the head to answer from.
    std::string ForwardedHead() const;
    // The bytes held now.
    std::size_t Held() const { return head_.size(); }

  private:
    void TakeHeadPart(std::string_view& bytes);
    void ScanLines();
    void TakeLine(std::string_view line);
    bool TakeRequestLine(std::string_view line);
    void TakeHeader(std::string_view name, std::string_view value);
    void Refuse(int status);

    RequestLimits limits_;
    State state_ = State::Reading;
    int refusal_ = 0;
    std::string head_;
    std::size_t scanned_ = 0;  // the head's bytes split into lines so far
    std::size_t lines_ = 0;    // lines taken, the request line first
    bool headWhole_ = false;
    std::string target_;
    bool lengthGiven_ = false;
    std::size_t bodyLeft_ = 0;
    bool continueAsked_ = false;
};

}  // namespace orvalt
