#pragma once
// The registry's text form, the Windows ".reg" file (REGEDIT4, 8-bit), which an
// administrator can edit by hand or import on Windows. Reading never fails: a
// line that cannot be understood is skipped, and a value that cannot be read
// whole is left out. An example: docs/design/settings-file.md.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/RegDocument.h"

namespace orvalt {

// Also reads the UTF-16 files that later regedit versions export, keeping each
// character that fits in 8 bits and putting '?' for the others.
RegDocument ParseRegText(std::string_view text);

// CR LF line ends. Texts that quotes cannot carry (a NUL, CR or LF in them) and
// every type other than REG_SZ and a 4-byte REG_DWORD are written as hex bytes,
// so they come back exactly.
std::string FormatRegText(const RegDocument& document);

// One value as FormatRegText writes it, its line ending (and, for a long hex
// value, its continuation lines) included, appended to `out`, which ends in
// a line break.
void AppendRegValueLine(std::string& out, const std::string& name, const RegValue& value);

// How the reader took one line of an 8-bit text.
struct RegTextLine {
    enum class Kind {
        Other,       // blank, a comment, the REGEDIT4 header, a deleted key's lines
        Unreadable,  // skipped: neither a key, nor a value that reads whole
        Key,         // a key's header
        Value,       // a value, or its removal ("name"=-)
    };
    Kind kind = Kind::Other;
    std::size_t begin = 0;  // the line's first byte
    std::size_t end = 0;    // past its line ending, and past the lines a hex value went on over
    std::string key;        // Key and Value: the key's path as the document spells it
    std::string name;       // Value: the value's name
    std::optional<RegValue> value;  // Value: nothing for a removal
};

// Every line of `text` as ParseRegText reads it, in order.
std::vector<RegTextLine> ReadRegTextLines(std::string_view text);

// Why `text` should be mended by hand before anything is written into it:
// the first line the reader would skip (counted from 1) or a UTF-16 or UTF-8
// form; empty when every line reads.
std::string RegTextDamage(std::string_view text);

// False for the UTF-16 and UTF-8 forms, which ParseRegText reads but whose
// bytes are not the lines it reads.
bool IsPlainRegText(std::string_view text);

}  // namespace orvalt
