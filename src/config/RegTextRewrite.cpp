#include "config/RegTextRewrite.h"

#include <cstddef>
#include <set>
#include <unordered_map>
#include <vector>

#include "config/RegText.h"

namespace orvalt {

namespace {

using Line = RegTextLine;

std::string ValueId(std::string_view key, std::string_view name) {
    return FoldName(key) + '\n' + FoldName(name);
}

bool SameValue(const RegValue& a, const RegValue& b) {
    return a.type == b.type && a.data == b.data;
}

void EndLine(std::string& out) {
    if (!out.empty() && !out.ends_with('\n')) {
        out += "\r\n";
    }
}

// What is written after the line that ends it.
bool EndsInBlankLine(const std::string& out) {
    return out.empty() || out.ends_with("\n\r\n") || out.ends_with("\n\n") || out == "\r\n";
}

class Rewrite {
  public:
    Rewrite(std::string_view original, const RegDocument& document)
        : original_(original), document_(document), lines_(ReadRegTextLines(original)) {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const Line& line = lines_[i];
            if (line.kind == Line::Kind::Value) {
                lastDefinition_[ValueId(line.key, line.name)] = i;
            }
            if (line.kind == Line::Kind::Value || line.kind == Line::Kind::Key) {
                keyEnd_[FoldName(line.key)] = i;
            }
        }
    }

    std::string Run() {
        out_.reserve(original_.size() + 256);
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            WriteLine(i);
        }
        for (const RegKeyData& key : document_.Keys()) {
            if (!keyEnd_.contains(FoldName(key.Path()))) {
                WriteNewKey(key);
            }
        }
        return std::move(out_);
    }

  private:
    void WriteLine(std::size_t i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Kind::Value) {
            WriteValueLine(i, line);
        } else {
            Keep(line);
        }
        if (line.kind != Line::Kind::Other && line.kind != Line::Kind::Unreadable &&
            keyEnd_.at(FoldName(line.key)) == i) {
            WriteNewValues(line.key);
        }
    }

    void Keep(const Line& line) { out_ += original_.substr(line.begin, line.end - line.begin); }

    // A value that is gone loses every line that gave it, so that none of
    // them can bring it back; a removal line stays as it was.
    void WriteValueLine(std::size_t i, const Line& line) {
        const RegKeyData* key = document_.FindKey(line.key);
        const RegValue* now = key != nullptr ? key->Find(line.name) : nullptr;
        const std::string id = ValueId(line.key, line.name);
        if (!line.value) {
            Keep(line);
        } else if (now == nullptr) {
            return;
        } else if (lastDefinition_.at(id) != i || SameValue(*line.value, *now)) {
            Keep(line);
        } else {
            EndLine(out_);
            AppendRegValueLine(out_, line.name, *now);
        }
        if (now != nullptr && lastDefinition_.at(id) == i && line.value) {
            written_.insert(id);
        }
    }

    void WriteNewValues(const std::string& path) {
        const RegKeyData* key = document_.FindKey(path);
        if (key == nullptr) {
            return;
        }
        for (const RegKeyData::Entry& entry : key->Entries()) {
            if (entry.present && !written_.contains(ValueId(path, entry.name))) {
                EndLine(out_);
                AppendRegValueLine(out_, entry.name, entry.value);
            }
        }
    }

    void WriteNewKey(const RegKeyData& key) {
        EndLine(out_);
        if (!EndsInBlankLine(out_)) {
            out_ += "\r\n";
        }
        out_ += "[" + key.Path() + "]\r\n";
        for (const RegKeyData::Entry& entry : key.Entries()) {
            if (entry.present) {
                AppendRegValueLine(out_, entry.name, entry.value);
            }
        }
        out_ += "\r\n";
    }

    std::string_view original_;
    const RegDocument& document_;
    std::vector<Line> lines_;
    // The line that last gave each value, and each key's last line.
    std::unordered_map<std::string, std::size_t> lastDefinition_;
    std::unordered_map<std::string, std::size_t> keyEnd_;
    std::set<std::string> written_;
    std::string out_;
};

}  // namespace

std::string FormatRegTextOver(std::string_view original, const RegDocument& document) {
    if (original.empty() || !IsPlainRegText(original)) {
        return FormatRegText(document);
    }
    return Rewrite(original, document).Run();
}

}  // namespace orvalt
