#include "diaglink/DiagRecorder.h"

#include "diaglink/NextHexField.h"

namespace orvalt {

DiagLine DecodeReceivedLine(std::string_view bytes, std::uint32_t nowMs) {
    DiagLine line;
    line.bytes = std::string(bytes);
    line.fields = DecodeDiagLine(std::string(line.Row()));
    line.arrivalMs = nowMs;
    return line;
}

DiagLine DiagRecorder::Record(std::string_view bytes) {
    DiagLine line = DecodeReceivedLine(bytes, clock_.NowMs());
    const DiagFields& f = line.fields;
    table_.Append(DiagRecord{line.arrivalMs, f.field1, f.field2, f.field3});
    const EventTime time = origin_.Stamp(line.arrivalMs);
    observers_.Tell([&line, &time](SessionObserver& o) { o.DiagLineDecoded(line, time); });
    return line;
}

}  // namespace orvalt
