#pragma once
// The summary lines of the latest run, in the order the tests completed, each
// kept field by field. Every line is kept, however many tests a run completes,
// until a save has written them to the totals file. The worker appends; Save
// Test Data reads and empties. The lock matters when a stopped worker that
// overran its stop still finishes a test while the window already saves.

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "results/SummaryLine.h"

namespace orvalt {

class SummaryLines {
  public:
    void Clear() {
        std::scoped_lock lock(mutex_);
        lines_.clear();
    }
    void Append(SummaryFields test) {
        std::scoped_lock lock(mutex_);
        lines_.push_back(std::move(test));
    }
    std::vector<SummaryFields> Tests() const {
        std::scoped_lock lock(mutex_);
        return lines_;
    }
    // The lines as the log shows them.
    std::vector<std::string> Lines() const {
        std::vector<std::string> texts;
        for (const SummaryFields& test : Tests()) {
            texts.push_back(test.Text());
        }
        return texts;
    }
    std::size_t Count() const {
        std::scoped_lock lock(mutex_);
        return lines_.size();
    }
    // Removes the first `count` lines (those a save has just written), keeping any
    // that arrived after the save read them.
    void DropFirst(std::size_t count) {
        std::scoped_lock lock(mutex_);
        lines_.erase(lines_.begin(),
                     lines_.begin() + static_cast<std::ptrdiff_t>(std::min(count, lines_.size())));
    }

  private:
    mutable std::mutex mutex_;
    std::vector<SummaryFields> lines_;
};

}  // namespace orvalt
