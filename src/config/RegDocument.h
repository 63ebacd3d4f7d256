#pragma once
// The registry as data: keys by path, each with named values of a type and raw
// bytes. Key paths and value names are matched without regard to ASCII case, as
// the Windows registry matches them, and keep the spelling they were given first.
// Keys and values keep their order, so a rewritten file differs from the old one
// only where something changed.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvalt {

constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;
constexpr std::uint32_t REG_QWORD = 11;

struct RegValue {
    std::uint32_t type = REG_NONE;
    std::string data;
};

// A REG_DWORD's 4 bytes, least significant first.
std::string DwordBytes(std::uint32_t value);
// The number in the first 4 bytes of `bytes`, which must hold at least 4.
std::uint32_t DwordFromBytes(std::string_view bytes);

// Lower-cases ASCII letters only; other bytes are compared as they are.
std::string FoldName(std::string_view name);

class RegKeyData {
  public:
    struct Entry {
        std::string name;
        RegValue value;
        bool present = true;  // false once removed; the slot keeps removal O(1)
    };

    explicit RegKeyData(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    const RegValue* Find(std::string_view name) const;
    void Set(std::string_view name, RegValue value);
    void Remove(std::string_view name);
    // Every slot in order, removed ones included (see Entry::present).
    const std::vector<Entry>& Entries() const { return entries_; }

  private:
    std::string path_;
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

class RegDocument {
  public:
    RegKeyData* FindKey(std::string_view path);
    const RegKeyData* FindKey(std::string_view path) const;
    // The key at `path`, added at the end when it is new.
    RegKeyData& AddKey(std::string_view path);
    // True when the key is stored or implied by a stored subkey.
    bool HasKey(std::string_view path) const;
    // A deque keeps references to keys valid while more are added.
    const std::deque<RegKeyData>& Keys() const { return keys_; }

  private:
    std::deque<RegKeyData> keys_;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace orvalt
