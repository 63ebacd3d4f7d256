#pragma once
// The newest 100 decoded diagnostic lines since the last reset: what the driver
// under test reported, where the Time-to-OFF judgement looks. The window thread
// appends; the test worker resets and reads. One lock keeps them apart.

#include <array>
#include <cstdint>
#include <mutex>

namespace orvalt {

struct DiagRecord {
    std::uint32_t arrivalTime = 0;
    std::int32_t field1 = 0;
    std::int32_t field2 = 0;
    std::int32_t field3 = 0;
};

class DiagTable {
  public:
    static constexpr int kCapacity = 100;

    struct Snapshot {
        int count = 0;
        std::array<DiagRecord, kCapacity> records{};
    };

    // Empties the table: count 0, every slot zero.
    void Reset() {
        std::scoped_lock lock(mutex_);
        count_ = 0;
        slots_.fill(DiagRecord{});
    }

    // Appends one record; a full table drops its oldest record first.
    void Append(const DiagRecord& record) {
        std::scoped_lock lock(mutex_);
        if (count_ == kCapacity) {
            for (int i = 1; i < kCapacity; ++i) {
                slots_[i - 1] = slots_[i];
            }
            count_ = kCapacity - 1;
        }
        slots_[count_] = record;
        ++count_;
    }

    // The count and the records, taken together under the lock.
    Snapshot Read() const {
        std::scoped_lock lock(mutex_);
        return Snapshot{count_, slots_};
    }

  private:
    mutable std::mutex mutex_;
    int count_ = 0;
    std::array<DiagRecord, kCapacity> slots_{};
};

inline void ResetDiagTable(DiagTable& table) {
    table.Reset();
}

}  // namespace orvalt
