#include "config/RegDocument.h"

namespace orvalt {

std::string DwordBytes(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(value & 0xFFu);
        value >>= 8;
    }
    return bytes;
}

std::uint32_t DwordFromBytes(std::string_view bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    }
    return value;
}

std::string FoldName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

const RegValue* RegKeyData::Find(std::string_view name) const {
    const auto found = index_.find(FoldName(name));
    if (found == index_.end() || !entries_[found->second].present) {
        return nullptr;
    }
    return &entries_[found->second].value;
}

void RegKeyData::Set(std::string_view name, RegValue value) {
    const auto [slot, added] = index_.try_emplace(FoldName(name), entries_.size());
    if (added) {
        entries_.push_back({std::string(name), std::move(value), true});
        return;
    }
    Entry& entry = entries_[slot->second];
    if (!entry.present) {
        entry.name = std::string(name);
    }
    entry.value = std::move(value);
    entry.present = true;
}

void RegKeyData::Remove(std::string_view name) {
    const auto found = index_.find(FoldName(name));
    if (found != index_.end()) {
        entries_[found->second].present = false;
    }
}

RegKeyData* RegDocument::FindKey(std::string_view path) {
    const auto found = index_.find(FoldName(path));
    return found == index_.end() ? nullptr : &keys_[found->second];
}

const RegKeyData* RegDocument::FindKey(std::string_view path) const {
    const auto found = index_.find(FoldName(path));
    return found == index_.end() ? nullptr : &keys_[found->second];
}

RegKeyData& RegDocument::AddKey(std::string_view path) {
    const auto [slot, added] = index_.try_emplace(FoldName(path), keys_.size());
    if (added) {
        keys_.emplace_back(std::string(path));
    }
    return keys_[slot->second];
}

bool RegDocument::HasKey(std::string_view path) const {
    if (FindKey(path) != nullptr) {
        return true;
    }
    const std::string prefix = FoldName(path) + "\\";
    for (const auto& [folded, slot] : index_) {
        if (folded.starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

}  // namespace orvalt
