// Rows handed from the game's thread to the writer's, in fixed storage: the game's thread never
// waits and never allocates. One thread pushes, one thread takes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "recorder/recorded_row.h"

class RowRing {
  public:
    // Over two minutes of frames at 60 a second: room for a disk that is slow for a while.
    static constexpr std::uint32_t capacity = 8192;

    // Adds row at the end; false, and nothing added, when the ring is full.
    bool push(const RecordedRow& row) {
        std::uint32_t end = pushed.load(std::memory_order_relaxed);
        if (end - taken.load(std::memory_order_acquire) == capacity) return false;
        rows[end % capacity] = row;
        pushed.store(end + 1, std::memory_order_release);
        return true;
    }

    // How many rows are in the ring, as the pushing thread sees it.
    std::uint32_t size() const {
        return pushed.load(std::memory_order_relaxed) - taken.load(std::memory_order_acquire);
    }

    // Takes the oldest row into row; false when the ring is empty.
    bool take(RecordedRow& row) {
        std::uint32_t start = taken.load(std::memory_order_relaxed);
        if (start == pushed.load(std::memory_order_acquire)) return false;
        row = rows[start % capacity];
        taken.store(start + 1, std::memory_order_release);
        return true;
    }

  private:
    static_assert((capacity & (capacity - 1)) == 0, "counts wrap at 2^32, a multiple of it");
    RecordedRow rows[capacity]{};
    std::atomic<std::uint32_t> pushed{0};
    std::atomic<std::uint32_t> taken{0};
};
