#include "diaglink/LineFramer.h"

namespace orvalt {

LineFramer::PassResult LineFramer::Pass(std::string_view bytes, const LineSink& onLine) {
    PassResult result;
    std::size_t start = 0;
    for (auto end = bytes.find_first_of("\r\n"); end != std::string_view::npos;
         end = bytes.find_first_of("\r\n", start)) {
        if (!dropping_ && end > start) {
            onLine(bytes.substr(start, end - start));
        }
        dropping_ = false;
        start = end + 1;
    }
    const std::size_t rest = bytes.size() - start;
    if (rest > 0 && !dropping_ && rest >= bufferSize_) {
        dropping_ = true;
        result.longLineDropped = true;
    }
    result.consumed = dropping_ ? bytes.size() : start;
    return result;
}

}  // namespace orvalt
