#pragma once
// Collects a store's health reports, as the station would show them.

#include <mutex>
#include <string>
#include <vector>

#include "recording/RecordStore.h"

namespace orvalt::test {

struct HealthLog {
    std::mutex mutex;
    std::vector<std::pair<bool, std::string>> reports;

    StoreHealthReport Sink() {
        return [this](bool up, const std::string& message) {
            std::scoped_lock lock(mutex);
            reports.emplace_back(up, message);
        };
    }
    std::vector<std::pair<bool, std::string>> Reports() {
        std::scoped_lock lock(mutex);
        return reports;
    }
};

}  // namespace orvalt::test
