#include "model/KeyIndex.hpp"

#include <functional>

#include "support/TablorError.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {
std::uint32_t HashOf(std::string_view folded) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(folded));
}
}  // namespace

std::string_view KeyIndex::KeyAt(std::size_t index) const {
    // The buffer's tail past recordedEnd_ may hold a key being inserted.
    const std::size_t end = index + 1 < starts_.size() ? starts_[index + 1] : recordedEnd_;
    return std::string_view(arena_).substr(starts_[index], end - starts_[index]);
}

long KeyIndex::FindFolded(std::string_view folded, std::uint32_t hash) const {
    if (slots_.empty()) {
        for (std::size_t i = 0; i < hashes_.size(); ++i) {
            if (hashes_[i] == hash && KeyAt(i) == folded) return static_cast<long>(i + 1);
        }
        return 0;
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t position = slots_[slot];
        if (position == 0) return 0;
        if (hashes_[position - 1] == hash && KeyAt(position - 1) == folded) return position;
    }
}

void KeyIndex::RebuildSlots() {
    slots_.clear();
    if (keyCount_ <= kScanLimit) return;
    std::size_t size = 64;
    while (size < keyCount_ * 2) size *= 2;
    slots_.assign(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t i = 0; i < starts_.size(); ++i) {
        if (KeyAt(i).empty()) continue;
        std::size_t slot = hashes_[i] & mask;
        while (slots_[slot] != 0) slot = (slot + 1) & mask;
        slots_[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

void KeyIndex::Insert(std::string_view key, long position) {
    // The key is folded straight into the shared buffer and taken back if it is a duplicate.
    const std::size_t start = arena_.size();
    AppendFolded(arena_, key);
    const std::string_view folded = std::string_view(arena_).substr(start);
    const std::uint32_t hash = HashOf(folded);
    if (FindFolded(folded, hash) != 0) {
        arena_.resize(start);
        throw errors::DuplicateKeyError();
    }

    // Items added without a key before this one hold empty keys.
    const auto index = static_cast<std::size_t>(position - 1);
    starts_.resize(index, static_cast<std::uint32_t>(start));
    hashes_.resize(index, 0);
    starts_.push_back(static_cast<std::uint32_t>(start));
    hashes_.push_back(hash);
    recordedEnd_ = static_cast<std::uint32_t>(arena_.size());
    ++keyCount_;

    if (keyCount_ <= kScanLimit) return;
    if (keyCount_ * 2 > slots_.size()) {
        RebuildSlots();
        return;
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(position);
}

long KeyIndex::Find(std::string_view key) const {
    if (keyCount_ == 0) return 0;
    const std::string folded = FoldCase(key);
    return FindFolded(folded, HashOf(folded));
}

void KeyIndex::Erase(long position) {
    const auto index = static_cast<std::size_t>(position - 1);
    if (index >= starts_.size()) return;
    const std::size_t length = KeyAt(index).size();
    if (length > 0) {
        --keyCount_;
        arena_.erase(starts_[index], length);
        recordedEnd_ -= static_cast<std::uint32_t>(length);
        for (std::size_t i = index + 1; i < starts_.size(); ++i)
            starts_[i] -= static_cast<std::uint32_t>(length);
    }
    starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(index));
    hashes_.erase(hashes_.begin() + static_cast<std::ptrdiff_t>(index));
    RebuildSlots();
}

void KeyIndex::Clear() noexcept {
    arena_.clear();
    starts_.clear();
    hashes_.clear();
    slots_.clear();
    recordedEnd_ = 0;
    keyCount_ = 0;
}

}  // namespace tablor
