#include "model/KeyIndex.hpp"

#include <functional>

#include "support/TablorError.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {
// Never HashSlots::kNoKey, which marks a position without a key.
std::uint32_t HashOf(std::string_view folded) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(folded)) | 1U;
}
}  // namespace

std::string_view KeyIndex::KeyAt(std::size_t index) const {
    // The buffer's tail past recordedEnd_ may hold a key being inserted.
    const std::size_t end = index + 1 < starts_.size() ? starts_[index + 1] : recordedEnd_;
    return std::string_view(arena_).substr(starts_[index], end - starts_[index]);
}

long KeyIndex::FindFolded(std::string_view folded, std::uint32_t hash) const {
    return slots_.Find(hashes_, hash, [&](std::size_t index) { return KeyAt(index) == folded; }) + 1;
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
    hashes_.resize(index, HashSlots::kNoKey);
    starts_.push_back(static_cast<std::uint32_t>(start));
    hashes_.push_back(hash);
    recordedEnd_ = static_cast<std::uint32_t>(arena_.size());
    ++keyCount_;
    slots_.Added(hashes_, keyCount_);
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
    slots_.Rebuild(hashes_, keyCount_);
}

void KeyIndex::Clear() noexcept {
    arena_.clear();
    starts_.clear();
    hashes_.clear();
    slots_.Clear();
    recordedEnd_ = 0;
    keyCount_ = 0;
}

}  // namespace tablor
