#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/Collection.hpp"
#include "model/cMetaDataElement.hpp"

namespace tablor {

// Finds the elements of one collection by exact name, so that a comparison looks each name
// up once instead of scanning the other side. Names may repeat: the positions of one name
// are chained in position order. Open addressing over positions keeps building it cheap, and
// the names are copied into one buffer, beside their hashes in the slots, so that a lookup
// reads two places in memory rather than chasing the elements.
class NameIndex {
  public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    explicit NameIndex(const Collection<cMetaDataElement>& elements);
    // Finds the elements by a key made of each element (appended to the string by `keyOf`); an
    // element that `keep` turns down is left out, as if it were not there.
    template <class KeyOf, class Keep>
    NameIndex(const Collection<cMetaDataElement>& elements, KeyOf&& keyOf, Keep&& keep) {
        const auto& items = elements.Items();
        starts_.reserve(items.size() + 1);
        left_.assign(items.size(), 0);
        for (std::size_t i = 0; i < items.size(); ++i) {
            starts_.push_back(static_cast<std::uint32_t>(names_.size()));
            if (keep(items[i]->ObjectName))
                keyOf(names_, *items[i]);
            else
                left_[i] = 1;
        }
        starts_.push_back(static_cast<std::uint32_t>(names_.size()));
        Build();
    }

    // 0-based index of the first element with this name, or kNone.
    std::uint32_t First(std::string_view name) const;
    // The next element with the same name after `index`, or kNone.
    std::uint32_t Next(std::uint32_t index) const { return next_[index]; }
    bool Contains(std::string_view name) const { return First(name) != kNone; }
    // The key element `index` is found by, and whether it was left out.
    std::string_view KeyAt(std::uint32_t index) const { return NameAt(index); }
    bool LeftOut(std::uint32_t index) const { return !left_.empty() && left_[index] != 0; }

  private:
    void Build();

    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t first = 0;  // first index + 1 of a distinct name; 0 is a free slot
    };
    std::string_view NameAt(std::uint32_t index) const {
        return std::string_view(names_).substr(starts_[index], starts_[index + 1] - starts_[index]);
    }

    std::string names_;                  // every name, one after another
    std::vector<std::uint32_t> starts_;  // by index, and one past the last
    std::vector<std::uint32_t> next_;    // by index
    std::vector<unsigned char> left_;    // by index: left out; empty when none is
    std::vector<Slot> slots_;
};

}  // namespace tablor
