#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tablor {

// The hash table behind a collection's keys: positions filed by their keys' 32-bit hashes, by
// open addressing. The hashes themselves stay with the collection, one per position, 0 for a
// position without a key. A few keys are found faster by a scan over those hashes, so the
// table is only built once a collection holds more keys than kScanLimit.
class HashSlots {
  public:
    static constexpr std::size_t kScanLimit = 32;
    static constexpr std::uint32_t kNoKey = 0;

    // The 0-based index of the keyed position with this hash that `matches`, or -1.
    template <class Matches>
    long Find(const std::vector<std::uint32_t>& hashes, std::uint32_t hash, Matches&& matches) const {
        if (slots_.empty()) {
            for (std::size_t i = 0; i < hashes.size(); ++i)
                if (hashes[i] == hash && matches(i)) return static_cast<long>(i);
            return -1;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const std::uint32_t position = slots_[slot];
            if (position == 0) return -1;
            if (hashes[position - 1] == hash && matches(position - 1)) return static_cast<long>(position - 1);
        }
    }

    // Files the last of `hashes`, just added with a key; `keyCount` counts it.
    void Added(const std::vector<std::uint32_t>& hashes, std::size_t keyCount);
    // Files every keyed position again, after a removal moved them.
    void Rebuild(const std::vector<std::uint32_t>& hashes, std::size_t keyCount);
    void Clear() noexcept { slots_.clear(); }

  private:
    void Place(std::uint32_t hash, std::size_t index);

    std::vector<std::uint32_t> slots_;  // positions; 0 is a free slot; empty while scanning
};

}  // namespace tablor
