#pragma once
// A registry document as one comparable text: every key in order with the
// values it holds, removed slots left out.

#include <string>

#include "domain/Format.h"
#include "config/RegDocument.h"

namespace orvalt {

inline std::string DumpDocument(const RegDocument& document) {
    std::string dump;
    for (const RegKeyData& key : document.Keys()) {
        dump += "[" + key.Path() + "]\n";
        for (const RegKeyData::Entry& entry : key.Entries()) {
            if (entry.present) {
                dump += Format("%zu:", entry.name.size()) + entry.name +
                        Format(" type %u, %zu:", entry.value.type, entry.value.data.size()) +
                        entry.value.data + "\n";
            }
        }
    }
    return dump;
}

}  // namespace orvalt
