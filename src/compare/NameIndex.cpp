#include "compare/NameIndex.hpp"

#include <functional>

namespace tablor {
namespace {
std::size_t HashOf(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}
}  // namespace

NameIndex::NameIndex(const Collection<cMetaDataElement>& elements) {
    const auto count = static_cast<std::size_t>(elements.Count());
    names_.reserve(count);
    hashes_.reserve(count);
    for (const auto& element : elements) {
        names_.emplace_back(element->ObjectName);
        hashes_.push_back(HashOf(names_.back()));
    }
    next_.assign(count, kNone);
    last_.assign(count, kNone);
    std::size_t size = 16;
    while (size < count * 2) size *= 2;
    slots_.assign(size, 0);

    const std::size_t mask = size - 1;
    for (std::uint32_t index = 0; index < count; ++index) {
        std::size_t slot = hashes_[index] & mask;
        for (;; slot = (slot + 1) & mask) {
            const std::uint32_t held = slots_[slot];
            if (held == 0) {
                slots_[slot] = index + 1;
                last_[index] = index;
                break;
            }
            if (hashes_[held - 1] == hashes_[index] && names_[held - 1] == names_[index]) {
                next_[last_[held - 1]] = index;
                last_[held - 1] = index;
                break;
            }
        }
    }
}

std::uint32_t NameIndex::First(std::string_view name) const {
    const std::size_t mask = slots_.size() - 1;
    const std::size_t hash = HashOf(name);
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = slots_[slot];
        if (held == 0) return kNone;
        // Most probes that miss stop at the hash, without reading the other name.
        if (hashes_[held - 1] == hash && names_[held - 1] == name) return held - 1;
    }
}

}  // namespace tablor
