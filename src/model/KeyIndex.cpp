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

std::size_t KeyIndex::Probe(std::string_view folded, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t position = slots_[slot];
        if (position == 0) return slot;
        if (hashes_[position - 1] == hash && foldedKeys_[position - 1] == folded) return slot;
    }
}

void KeyIndex::Place(std::uint32_t position) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hashes_[position - 1] & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = position;
}

void KeyIndex::Rebuild(std::size_t slotCount) {
    slots_.assign(slotCount, 0);
    for (std::size_t i = 0; i < foldedKeys_.size(); ++i) {
        if (!foldedKeys_[i].empty()) Place(static_cast<std::uint32_t>(i + 1));
    }
}

void KeyIndex::Insert(std::string_view key, long position) {
    std::string folded = FoldCase(key);
    const std::uint32_t hash = HashOf(folded);
    if (!slots_.empty() && slots_[Probe(folded, hash)] != 0) throw errors::DuplicateKeyError();

    const auto index = static_cast<std::size_t>(position - 1);
    if (foldedKeys_.size() <= index) {
        foldedKeys_.resize(index + 1);
        hashes_.resize(index + 1);
    }
    foldedKeys_[index] = std::move(folded);
    hashes_[index] = hash;
    ++keyCount_;
    if ((keyCount_ + 1) * 2 > slots_.size()) {
        Rebuild(slots_.empty() ? 16 : slots_.size() * 2);
    } else {
        Place(static_cast<std::uint32_t>(position));
    }
}

long KeyIndex::Find(std::string_view key) const {
    if (slots_.empty()) return 0;
    const std::string folded = FoldCase(key);
    return slots_[Probe(folded, HashOf(folded))];
}

void KeyIndex::Erase(long position) {
    const auto index = static_cast<std::size_t>(position - 1);
    if (index >= foldedKeys_.size()) return;
    if (!foldedKeys_[index].empty()) --keyCount_;
    foldedKeys_.erase(foldedKeys_.begin() + static_cast<std::ptrdiff_t>(index));
    hashes_.erase(hashes_.begin() + static_cast<std::ptrdiff_t>(index));
    Rebuild(slots_.size());
}

void KeyIndex::Clear() noexcept {
    foldedKeys_.clear();
    hashes_.clear();
    slots_.clear();
    keyCount_ = 0;
}

}  // namespace tablor
