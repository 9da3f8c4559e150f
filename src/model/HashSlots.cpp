#include "model/HashSlots.hpp"

namespace tablor {

void HashSlots::Place(std::uint32_t hash, std::size_t index) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(index + 1);
}

void HashSlots::Rebuild(const std::vector<std::uint32_t>& hashes, std::size_t keyCount) {
    slots_.clear();
    if (keyCount <= kScanLimit) return;
    std::size_t size = 64;
    while (size < keyCount * 2) size *= 2;
    slots_.assign(size, 0);
    for (std::size_t i = 0; i < hashes.size(); ++i)
        if (hashes[i] != kNoKey) Place(hashes[i], i);
}

void HashSlots::Added(const std::vector<std::uint32_t>& hashes, std::size_t keyCount) {
    if (keyCount <= kScanLimit) return;
    if (keyCount * 2 > slots_.size())
        Rebuild(hashes, keyCount);
    else
        Place(hashes.back(), hashes.size() - 1);
}

}  // namespace tablor
