#include "compare/NameIndex.hpp"

namespace tablor {

NameIndex::NameIndex(const Collection<cMetaDataElement>& elements) {
    const auto count = static_cast<std::size_t>(elements.Count());
    byName_.reserve(count);
    next_.assign(count, kNone);
    std::uint32_t index = 0;
    for (const auto& element : elements) {
        auto [slot, inserted] = byName_.try_emplace(element->ObjectName, Chain{index, index});
        if (!inserted) {
            next_[slot->second.last] = index;
            slot->second.last = index;
        }
        ++index;
    }
}

std::uint32_t NameIndex::First(std::string_view name) const {
    const auto found = byName_.find(name);
    return found == byName_.end() ? kNone : found->second.first;
}

}  // namespace tablor
