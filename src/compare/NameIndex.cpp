#include "compare/NameIndex.hpp"

#include <functional>

namespace tablor {
namespace {
std::uint32_t HashOf(std::string_view name) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
}
}  // namespace

NameIndex::NameIndex(const Collection<cMetaDataElement>& elements) {
    const auto count = static_cast<std::size_t>(elements.Count());
    starts_.reserve(count + 1);
    std::size_t bytes = 0;
    for (const auto& element : elements) bytes += element->ObjectName.size();
    names_.reserve(bytes);
    for (const auto& element : elements) {
        starts_.push_back(static_cast<std::uint32_t>(names_.size()));
        names_ += element->ObjectName;
    }
    starts_.push_back(static_cast<std::uint32_t>(names_.size()));
    Build();
}

void NameIndex::Build() {
    const std::size_t count = starts_.size() - 1;
    next_.assign(count, kNone);
    std::vector<std::uint32_t> last(count, kNone);  // by first index: the last of its chain
    std::size_t size = 16;
    while (size < count * 2) size *= 2;
    slots_.assign(size, Slot{});

    const std::size_t mask = size - 1;
    for (std::uint32_t index = 0; index < count; ++index) {
        if (LeftOut(index)) continue;
        const std::string_view name = NameAt(index);
        const std::uint32_t hash = HashOf(name);
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            Slot& held = slots_[slot];
            if (held.first == 0) {
                held = {hash, index + 1};
                last[index] = index;
                break;
            }
            if (held.hash == hash && NameAt(held.first - 1) == name) {
                next_[last[held.first - 1]] = index;
                last[held.first - 1] = index;
                break;
            }
        }
    }
}

std::uint32_t NameIndex::First(std::string_view name) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t hash = HashOf(name);
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot& held = slots_[slot];
        if (held.first == 0) return kNone;
        // Most probes that miss stop at the hash, without reading the other name.
        if (held.hash == hash && NameAt(held.first - 1) == name) return held.first - 1;
    }
}

}  // namespace tablor
