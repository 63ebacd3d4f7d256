#include "config/RegText.h"

#include "domain/HexDigit.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "domain/Format.h"
#include "domain/PrintableText.h"

namespace orvalt {

namespace {

constexpr std::string_view kBlanks = " \t";
// What a continuation line of a hex value may hold.
constexpr std::string_view kHexListChars = "0123456789abcdefABCDEF, \t\\";
// A hex value's lines are wrapped before this column, as regedit wraps them.
constexpr std::size_t kWrapColumn = 76;

std::string_view TrimLeft(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view TrimRight(std::string_view text) {
    const std::size_t last = text.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

std::string_view Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

// `prefix` is lower case.
bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && FoldName(text.substr(0, prefix.size())) == prefix;
}

// One to maxDigits hex digits and nothing else.
bool ParseHexNumber(std::string_view digits, std::size_t maxDigits, std::uint32_t& value) {
    if (digits.empty() || digits.size() > maxDigits) {
        return false;
    }
    value = 0;
    for (const char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return false;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return true;
}

// "01,ab,7" into bytes; an empty list is zero bytes, an empty item is an error.
bool ParseHexBytes(std::string_view list, std::string& bytes) {
    if (Trim(list).empty()) {
        return true;
    }
    for (;;) {
        const std::size_t comma = list.find(',');
        std::uint32_t byte = 0;
        if (!ParseHexNumber(Trim(list.substr(0, comma)), 2, byte)) {
            return false;
        }
        bytes += static_cast<char>(byte);
        if (comma == std::string_view::npos) {
            return true;
        }
        list.remove_prefix(comma + 1);
    }
}

// Reads "..." at the start of `text` with \\ and \" unescaped; any other
// backslash stays as it is. Returns what follows the closing quote.
std::optional<std::string_view> ReadQuoted(std::string_view text, std::string& out) {
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            return text.substr(i + 1);
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            c = text[++i];
        }
        out += c;
    }
    return std::nullopt;
}

// Lines end at CR LF, LF or a lone CR.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : rest_(text) {}

    bool Next(std::string_view& line) {
        if (!Peek(line)) {
            return false;
        }
        rest_.remove_prefix(line.size());
        const std::size_t ending = rest_.starts_with("\r\n") ? 2 : (rest_.empty() ? 0 : 1);
        rest_.remove_prefix(ending);
        return true;
    }

    bool Peek(std::string_view& line) const {
        if (rest_.empty()) {
            return false;
        }
        line = rest_.substr(0, rest_.find_first_of("\r\n"));
        return true;
    }

    // Offset of the next line in the text.
    std::size_t Offset() const { return size_ - rest_.size(); }

  private:
    std::string_view rest_;
    std::size_t size_ = rest_.size();
};

constexpr std::string_view kHeader = "REGEDIT4";

class RegTextParser {
  public:
    RegTextParser(std::string_view text, std::vector<RegTextLine>* lines)
        : lines_(text), read_(lines) {}

    RegDocument Run() {
        std::string_view line;
        while (lines_.Peek(line)) {
            RegTextLine read;
            read.begin = lines_.Offset();
            lines_.Next(line);
            read.kind = ParseLine(TrimLeft(line), read);
            read.end = lines_.Offset();
            if (read_ != nullptr) {
                read_->push_back(std::move(read));
            }
        }
        return std::move(document_);
    }

  private:
    using Kind = RegTextLine::Kind;

    Kind ParseLine(std::string_view line, RegTextLine& read) {
        if (line.empty() || line[0] == ';') {
            return Kind::Other;
        }
        const bool first = std::exchange(first_, false);
        if (line[0] == '[') {
            return OpenKey(TrimRight(line), read);
        }
        if (key_ != nullptr) {
            return ParseValueLine(line, read);
        }
        // The header, and the values of a key being deleted, are read and left alone.
        const bool header = first && TrimRight(line) == kHeader;
        return header || inDeletedKey_ ? Kind::Other : Kind::Unreadable;
    }

    // "[-path]" deletes a key when imported on Windows; here its values are ignored.
    Kind OpenKey(std::string_view header, RegTextLine& read) {
        key_ = nullptr;
        inDeletedKey_ = false;
        if (header.size() < 3 || header.back() != ']') {
            return Kind::Unreadable;
        }
        if (header[1] == '-') {
            inDeletedKey_ = true;
            return Kind::Other;
        }
        key_ = &document_.AddKey(header.substr(1, header.size() - 2));
        read.key = key_->Path();
        return Kind::Key;
    }

    Kind ParseValueLine(std::string_view line, RegTextLine& read) {
        std::string name;
        std::optional<std::string_view> rest;
        if (line[0] == '@') {
            rest = line.substr(1);
        } else if (line[0] == '"') {
            rest = ReadQuoted(line, name);
        }
        if (!rest || !TrimLeft(*rest).starts_with('=')) {
            return Kind::Unreadable;
        }
        const std::string_view data = Trim(TrimLeft(*rest).substr(1));
        read.key = key_->Path();
        read.name = name;
        if (data == "-") {
            key_->Remove(name);
            return Kind::Value;
        }
        std::optional<RegValue> value = ParseData(data);
        if (!value) {
            return Kind::Unreadable;
        }
        read.value = *value;
        key_->Set(name, std::move(*value));
        return Kind::Value;
    }

    std::optional<RegValue> ParseData(std::string_view data) {
        if (data.starts_with('"')) {
            RegValue value{REG_SZ, {}};
            const std::optional<std::string_view> after = ReadQuoted(data, value.data);
            return after && Trim(*after).empty() ? std::optional(std::move(value)) : std::nullopt;
        }
        if (StartsWithFolded(data, "dword:")) {
            std::uint32_t number = 0;
            return ParseHexNumber(data.substr(6), 8, number)
                       ? std::optional(RegValue{REG_DWORD, DwordBytes(number)})
                       : std::nullopt;
        }
        if (StartsWithFolded(data, "hex")) {
            return ParseHex(data.substr(3));
        }
        return std::nullopt;
    }

    // After "hex": ":bytes" for REG_BINARY or "(type):bytes" for any type.
    std::optional<RegValue> ParseHex(std::string_view typeAndList) {
        RegValue value{REG_BINARY, {}};
        if (typeAndList.starts_with('(')) {
            const std::size_t close = typeAndList.find(')');
            if (close == std::string_view::npos ||
                !ParseHexNumber(typeAndList.substr(1, close - 1), 8, value.type)) {
                return std::nullopt;
            }
            typeAndList.remove_prefix(close + 1);
        }
        if (!typeAndList.starts_with(':')) {
            return std::nullopt;
        }
        const std::string list = JoinContinuations(typeAndList.substr(1));
        value.data.reserve(list.size() / 3 + 1);
        return ParseHexBytes(list, value.data) ? std::optional(std::move(value)) : std::nullopt;
    }

    // A hex list goes on over the next lines while a line ends in '\'. A line that
    // cannot belong to a hex list is never taken, so a cut-off value cannot
    // swallow the key or value that follows it.
    std::string JoinContinuations(std::string_view first) {
        std::string joined(TrimRight(first));
        std::string_view next;
        while (joined.ends_with('\\') && lines_.Peek(next) &&
               next.find_first_not_of(kHexListChars) == std::string_view::npos) {
            joined.pop_back();
            lines_.Next(next);
            joined += Trim(next);
        }
        return joined;
    }

    LineReader lines_;
    std::vector<RegTextLine>* read_;
    RegDocument document_;
    RegKeyData* key_ = nullptr;
    bool inDeletedKey_ = false;
    bool first_ = true;
};

// UTF-16LE after its byte order mark, narrowed to 8 bits.
std::string NarrowUtf16(std::string_view bytes) {
    std::string narrow;
    narrow.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned unit =
            static_cast<unsigned char>(bytes[i]) |
            (static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8);
        narrow += unit < 0x100 ? static_cast<char>(unit) : '?';
    }
    return narrow;
}

bool FitsInQuotes(std::string_view text) {
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

void AppendHex(std::string& out, const RegValue& value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += value.type == REG_BINARY ? std::string("hex:") : Format("hex(%x):", value.type);
    std::size_t column = out.size() - (out.rfind('\n') + 1);
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        if (i > 0) {
            out += ',';
            if (++column > kWrapColumn) {
                out += "\\\r\n  ";
                column = 2;
            }
        }
        const auto byte = static_cast<unsigned char>(value.data[i]);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
        column += 2;
    }
}

}  // namespace

void AppendRegValueLine(std::string& out, const std::string& name, const RegValue& value) {
    if (name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, name);
    }
    out += '=';
    if (value.type == REG_SZ && FitsInQuotes(value.data)) {
        AppendQuoted(out, value.data);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        out += Format("dword:%08x", DwordFromBytes(value.data));
    } else {
        AppendHex(out, value);
    }
    out += "\r\n";
}

RegDocument ParseRegText(std::string_view text) {
    if (text.starts_with("\xFF\xFE")) {
        const std::string narrow = NarrowUtf16(text.substr(2));
        return RegTextParser(narrow, nullptr).Run();
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    return RegTextParser(text, nullptr).Run();
}

std::vector<RegTextLine> ReadRegTextLines(std::string_view text) {
    std::vector<RegTextLine> lines;
    RegTextParser(text, &lines).Run();
    return lines;
}

namespace {

std::size_t LineBreaksIn(std::string_view text) {
    std::size_t breaks = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        breaks +=
            text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    }
    return breaks;
}

}  // namespace

std::string RegTextDamage(std::string_view text) {
    if (!IsPlainRegText(text)) {
        return "it is a UTF-16 or UTF-8 export, not the 8-bit REGEDIT4 text the station writes";
    }
    for (const RegTextLine& line : ReadRegTextLines(text)) {
        if (line.kind == RegTextLine::Kind::Unreadable) {
            const std::string_view bytes = text.substr(line.begin, line.end - line.begin);
            return Format("line %zu is neither a key nor a value the station can read: %s",
                          LineBreaksIn(text.substr(0, line.begin)) + 1,
                          PrintableText(bytes.substr(0, bytes.find_first_of("\r\n"))).c_str());
        }
    }
    return {};
}

bool IsPlainRegText(std::string_view text) {
    return !text.starts_with("\xFF\xFE") && !text.starts_with("\xEF\xBB\xBF");
}

std::string FormatRegText(const RegDocument& document) {
    std::string out = "REGEDIT4\r\n";
    for (const RegKeyData& key : document.Keys()) {
        out += "\r\n[" + key.Path() + "]\r\n";
        for (const RegKeyData::Entry& entry : key.Entries()) {
            if (entry.present) {
                AppendRegValueLine(out, entry.name, entry.value);
            }
        }
    }
    out += "\r\n";
    return out;
}

}  // namespace orvalt
